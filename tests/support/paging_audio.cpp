#include "support/paging_audio.h"

#include <fstream>
#include <stdexcept>

namespace polvane::testing {

namespace {

constexpr std::int16_t kLevel = 12000;
constexpr std::uint32_t kPocsagSync = 0x7CD215D8;

// Bits in the order they are sent, turned into samples at the end.
class BitTrain {
 public:
  void Bit(unsigned b) { bits_.push_back(static_cast<std::uint8_t>(b & 1)); }
  // `width` bits of v, most significant first.
  void Bits(std::uint32_t v, int width) {
    for (int k = width - 1; k >= 0; --k) Bit(v >> k & 1);
  }
  void Word(PagingWord w) { Bits(w.Value(), 32); }  // position 1 first
  void Dotting(int count) {
    for (int i = 0; i < count; ++i) Bit(i % 2 == 0 ? 1 : 0);
  }
  // Each sample takes the bit that is on the air at its time.
  Audio Samples(int baud, bool oneIsHigh) const {
    const std::size_t n = bits_.size() * kAudioRate / static_cast<std::size_t>(baud);
    Audio audio(n);
    for (std::size_t i = 0; i < n; ++i) {
      const bool one = bits_[i * static_cast<std::size_t>(baud) / kAudioRate] != 0;
      audio[i] = one == oneIsHigh ? kLevel : static_cast<std::int16_t>(-kLevel);
    }
    return audio;
  }

 private:
  std::vector<std::uint8_t> bits_;
};

// The frame information word: the 4-bit check (the 4-bit groups of the information bits add
// up to 15), the cycle number at bits 5 to 8 and the frame number at bits 9 to 15.
PagingWord FrameInformation(int cycle, int frame) {
  PagingWord w = PagingWord()
                     .Lsb(5, 4, static_cast<std::uint32_t>(cycle))
                     .Lsb(9, 7, static_cast<std::uint32_t>(frame));
  std::uint32_t sum = static_cast<std::uint32_t>(cycle) + (frame & 0xF) + (frame >> 4);
  return w.Lsb(1, 4, (0xF - sum) & 0xF).Sealed();
}

}  // namespace

Audio PocsagAudio(const std::vector<PagingWord>& codewords) {
  BitTrain t;
  t.Dotting(576);
  const std::size_t batches = (codewords.size() + 15) / 16 + 1;
  for (std::size_t b = 0; b < batches; ++b) {
    t.Bits(kPocsagSync, 32);
    for (std::size_t k = 16 * b; k < 16 * b + 16; ++k)
      t.Word(k < codewords.size() ? codewords[k] : PagingWord(kPocsagIdle));
  }
  t.Dotting(64);
  return t.Samples(1200, false);
}

Audio FlexAudio(const std::vector<FlexFrame>& frames, int cycle, int first) {
  BitTrain t;
  t.Dotting(960);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    if (frames[f].phases != 1) throw std::invalid_argument("FLEX audio of one phase only");
    t.Bits(0x78F3, 16);
    t.Bits(0x59395555, 32);
    t.Bits(0x870C, 16);
    t.Dotting(16);
    t.Word(FrameInformation(cycle & 0xF, static_cast<int>((first + f) % 128)));
    t.Dotting(40);
    const auto& words = frames[f].words[0];
    for (int block = 0; block < 11; ++block)
      for (int bit = 31; bit >= 0; --bit)
        for (int k = 0; k < 8; ++k) t.Bit(words[8 * block + k].Value() >> bit & 1);
  }
  t.Dotting(320);
  return t.Samples(1600, true);
}

void WriteRawAudio(const std::filesystem::path& path, const Audio& audio) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(audio.data()),
            static_cast<std::streamsize>(audio.size() * sizeof(std::int16_t)));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace polvane::testing
