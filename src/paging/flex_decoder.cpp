#include "paging/flex_decoder.h"

#include <algorithm>
#include <cstring>

namespace polvane {

using paging::Bit;
using paging::LsbField;
using paging::PageText;
using namespace flex;

namespace flex {

int PhasesOfSpeed(std::uint8_t speedCode, int previous) {
  switch (speedCode) {
    case 0:
      return previous >= 1 && previous <= kMaxPhases ? previous : 1;
    case 4:
    case 6:
      return 2;
    case 8:
      return 4;
    default:
      return 1;
  }
}

bool IsLongAddress(std::uint32_t field) {
  return (field >= 1 && field <= 0x8000) || (field >= 0x1E0001 && field <= 0x1F0000) ||
         (field >= 0x1F7FFF && field <= 0x1FFFFE);
}

}  // namespace flex

FlexDecoder::FlexDecoder(const std::uint8_t* data, std::size_t size, int previousPhases) {
  size = std::min(size, kMaxCapture);
  if (data == nullptr) size = 0;
  if (size > 0) std::memcpy(head_, data, std::min(size, kHeadSize));
  phases_ = PhasesOfSpeed(SpeedCode(), previousPhases);

  std::size_t bytes = size > kHeadSize ? std::min<std::size_t>(DataBytes(), size - kHeadSize) : 0;
  codewords_ = std::min(static_cast<int>(bytes / 4), phases_ * kPhaseWords);
  for (int i = 0; i < codewords_; ++i)
    words_[i % phases_][i / phases_] = paging::ReadCodeword(data + kHeadSize + 4 * i);
  ResetPhase(0);
}

void FlexDecoder::ResetPhase(int phase) {
  cursor_ = 0;
  if (phase < 0 || phase >= phases_ || codewords_ == 0) {
    // Nothing to decode: an address field that ends before it begins.
    phase_ = 0;
    priority_ = extra_ = vectorStart_ = 0;
    return;
  }
  phase_ = phase;
  std::uint32_t biw = Word(0);
  priority_ = LsbField(biw, 5, 4);
  extra_ = LsbField(biw, 9, 2);
  vectorStart_ = LsbField(biw, 11, 6);
}

bool FlexDecoder::NextMessage(char* out, std::size_t outSize) {
  PageText text(out, outSize);
  // The address field runs from the word after the block information words up to the word
  // before the vector field (and never past word 87); the vector and message words that follow
  // are not addresses.
  const int base = static_cast<int>(extra_) + 1;
  const int end = std::min(static_cast<int>(vectorStart_), kPhaseWords);
  if (base + cursor_ >= end) return true;

  const std::uint32_t a = Word(base + cursor_);
  const int vectorIndex = static_cast<int>(vectorStart_) + cursor_;
  const std::uint32_t field = LsbField(a, 1, 21);
  const bool longAddress = IsLongAddress(field);
  std::uint32_t capcode;  // unsigned 32-bit arithmetic, as the receiver software counts
  if (longAddress) {
    ++cursor_;
    if (base + cursor_ >= end) return true;
    std::uint32_t a2 = paging::InvertedLsbField(Word(base + cursor_), 1, 21);
    capcode = a2 * 32768u + field + 0x1F9000u;
  } else {
    capcode = field - 32768u;
  }
  ++cursor_;

  if (vectorIndex >= kPhaseWords) return false;  // no vector word in this phase: no text
  const std::uint32_t vector = Word(vectorIndex);
  const unsigned type = LsbField(vector, 5, 3);
  if (type == kNumeric || type == kNumberedNumeric) {
    text.Head("FLEX", type == kNumeric ? "NS" : "NN", capcode);
    Numeric(type, vector, vectorIndex, longAddress, text);
  } else if (type == kAlphanumeric) {
    text.Head("FLEX", "AN", capcode);
    Alphanumeric(vector, longAddress, text);
  }
  return false;
}

void FlexDecoder::Numeric(unsigned type, std::uint32_t vector, int vectorIndex, bool longAddress,
                          PageText& text) const {
  // The digits fill the message words from the first on: W[S] to W[S + N - 1], or with a long
  // address the vector's second word W[X + 1] and then W[S] to W[S + N - 2].
  const int start = static_cast<int>(LsbField(vector, 8, 7));
  const int words = static_cast<int>(LsbField(vector, 15, 3)) + 1;
  unsigned digit = 0;
  int bits = 0;  // bits of `digit` read so far, low-order first
  for (int k = 0; k < words; ++k) {
    const int index = !longAddress ? start + k : k == 0 ? vectorIndex + 1 : start + k - 1;
    if (index >= kPhaseWords) break;
    if (text.LineLength() > paging::kWrapLength && !text.NewLine()) break;
    const std::uint32_t word = Word(index);
    for (int p = k == 0 ? (type == kNumeric ? 3 : 11) : 1; p <= 21; ++p) {
      digit |= Bit(word, p) << bits;
      if (++bits == 4) {
        if (char c = paging::NumericChar(digit)) text.Append(c);
        digit = 0;
        bits = 0;
      }
    }
  }
}

void FlexDecoder::Alphanumeric(std::uint32_t vector, bool longAddress, PageText& text) const {
  // N words make the message, its header word included: W[S] is the header and the text runs
  // from W[S + 1]; with a long address the header is the vector's second word and the text
  // runs from W[S]. Either way N - 1 words of text, whose first character slot is the
  // message's signature.
  const int start = static_cast<int>(LsbField(vector, 8, 7)) + (longAddress ? 0 : 1);
  const int words = static_cast<int>(LsbField(vector, 15, 7)) - 1;
  for (int k = 0; k < words; ++k) {
    const int index = start + k;
    if (index >= kPhaseWords) break;
    if (text.LineLength() > paging::kWrapLength && !text.NewLine()) return;
    const std::uint32_t word = Word(index);
    for (int p = k == 0 ? 8 : 1; p <= 15; p += 7) {
      const unsigned c = LsbField(word, p, 7);
      if (c == 3) break;  // ETX ends this word
      if (!text.Alpha(c)) return;
    }
  }
}

}  // namespace polvane
