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

namespace {

// Message words are taken from word S + j of the phase; a long address starts one word later
// and ends one word earlier, and its numeric messages begin in the vector's second word.
struct MessageSpan {
  int first, last;
};

MessageSpan SpanOf(unsigned n, bool longAddress) {
  int count = static_cast<int>(n);
  return longAddress ? MessageSpan{2, count - 2} : MessageSpan{1, count - 1};
}

}  // namespace

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
  const int start = static_cast<int>(LsbField(vector, 8, 7));
  const MessageSpan span = SpanOf(LsbField(vector, 15, 3) + 1, longAddress);
  unsigned digit = 0;
  int bits = 0;  // bits of `digit` read so far, low-order first
  for (int j = span.first; j <= span.last; ++j) {
    const int index = longAddress && j == 2 ? vectorIndex + 1 : start + j;
    if (index >= kPhaseWords) break;
    if (text.LineLength() > paging::kWrapLength && !text.NewLine()) break;
    const std::uint32_t word = Word(index);
    for (int p = j == span.first ? (type == kNumeric ? 3 : 11) : 1; p <= 21; ++p) {
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
  const int start = static_cast<int>(LsbField(vector, 8, 7));
  const MessageSpan span = SpanOf(LsbField(vector, 15, 7), longAddress);
  for (int j = span.first; j <= span.last; ++j) {
    const int index = start + j;
    if (index >= kPhaseWords) break;
    if (text.LineLength() > paging::kWrapLength && !text.NewLine()) return;
    const std::uint32_t word = Word(index);
    for (int p = 1; p <= 15; p += 7) {
      const unsigned c = LsbField(word, p, 7);
      if (c == 3) break;  // ETX ends this word
      if (!text.Alpha(c)) return;
    }
  }
}

}  // namespace polvane
