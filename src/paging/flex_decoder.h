// Decoder of one captured FLEX frame: the capture head, the phases of the frame, and the
// messages of each phase as output texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/bytes.h"
#include "paging/paging_text.h"

namespace polvane {

namespace flex {
inline constexpr std::size_t kMaxCapture = 4192;  // a capture's record body at most
inline constexpr std::size_t kHeadSize = 18;      // codewords start here
inline constexpr int kMaxPhases = 4;
inline constexpr int kPhaseWords = 88;  // words W[0] to W[87] of a phase
// Vector types that carry text.
inline constexpr unsigned kNumeric = 3;          // "NS"
inline constexpr unsigned kAlphanumeric = 5;     // "AN"
inline constexpr unsigned kNumberedNumeric = 7;  // "NN"

// The phase count of a speed code; code 0 keeps `previous` (a count outside 1 to 4 gives 1).
int PhasesOfSpeed(std::uint8_t speedCode, int previous);
// Whether the 21-bit address field opens a long (two-word) address.
bool IsLongAddress(std::uint32_t field);
}  // namespace flex

// One FLEX capture, from its length field on:
//   0  2  number of bytes of codeword data (little-endian)
//   2  1  RSSI magnitude           4  1  speed code
//  14  2  channel code            16  2  error count
//  18     codewords, 4 bytes each, interleaved by phase
// Codeword i is the next word of phase i mod Phases(). At most 88 words per phase are kept;
// nothing is read beyond `size`, beyond 4192 bytes or beyond the data length.
//
// Use: for each phase h below Phases(), ResetPhase(h), then NextMessage until it returns true.
// Each call that returns false leaves one message text (possibly empty) in the buffer.
class FlexDecoder {
 public:
  // `previousPhases` is Phases() of the previous FLEX capture; it serves speed code 0.
  FlexDecoder(const std::uint8_t* data, std::size_t size, int previousPhases);

  int Phases() const { return phases_; }
  std::uint16_t DataBytes() const { return Head16(0); }
  std::uint8_t Rssi() const { return head_[2]; }
  std::uint8_t SpeedCode() const { return head_[4]; }
  std::uint16_t Channel() const { return Head16(14); }
  std::uint16_t Errors() const { return Head16(16); }
  // Number of codewords kept from the capture.
  int Codewords() const { return codewords_; }

  // Selects phase h and resets its address cursor. The decoder starts on phase 0.
  void ResetPhase(int phase);
  // Decodes the message of the next address of the current phase into `out` (at most
  // outSize - 1 characters and a terminator). Returns true, with an empty text, when the phase
  // holds no further address.
  bool NextMessage(char* out, std::size_t outSize);

  // Values of the current phase's block information word.
  unsigned Priority() const { return priority_; }
  unsigned ExtraWords() const { return extra_; }
  unsigned VectorStart() const { return vectorStart_; }

 private:
  std::uint16_t Head16(int at) const { return ReadLE16(head_, at); }
  // Word `index` of the current phase; 0 outside W[0] to W[87].
  std::uint32_t Word(int index) const {
    return index >= 0 && index < flex::kPhaseWords ? words_[phase_][index] : 0;
  }
  void Numeric(unsigned type, std::uint32_t vector, int vectorIndex, bool longAddress,
               paging::PageText& text) const;
  void Alphanumeric(std::uint32_t vector, bool longAddress, paging::PageText& text) const;

  std::uint8_t head_[flex::kHeadSize] = {};
  int phases_ = 1;
  int codewords_ = 0;
  std::uint32_t words_[flex::kMaxPhases][flex::kPhaseWords] = {};

  int phase_ = 0;
  unsigned priority_ = 0, extra_ = 0, vectorStart_ = 0;
  int cursor_ = 0;  // q: address words taken so far
};

}  // namespace polvane
