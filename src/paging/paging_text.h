// Pieces shared by the FLEX and POCSAG decoders: the bit fields of a captured codeword, the
// numeric character table, and the bounded builder of a message's output text with its line
// rules.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/bytes.h"

namespace polvane::paging {

// Size of one message text, terminator included (the readers' message slots).
inline constexpr std::size_t kTextSize = 1024;
// A message holds at most this many lines of at most kMaxLineLength characters.
inline constexpr int kMaxLines = 10;
inline constexpr int kMaxLineLength = 255;
// A line longer than this starts a new line at the next break point.
inline constexpr int kWrapLength = 80;
// Width of the head "FLEX   NS 0000001001 " and of the indent of every further line.
inline constexpr int kIndent = 21;

// A codeword as captured: 4 bytes in storage order. Bit position p (1 to 32) is bit
// (7 - (p - 1) mod 8) of byte (p - 1) / 8, so the word read most significant byte first holds
// position p at bit 32 - p.
inline std::uint32_t ReadCodeword(const std::uint8_t* p) {
  return ReadBE32(p, 0);
}

inline unsigned Bit(std::uint32_t word, int position) {
  return word >> (32 - position) & 1u;
}

// The field of `width` bits whose most significant bit is `position`.
inline std::uint32_t MsbField(std::uint32_t word, int position, int width) {
  return word >> (33 - position - width) & ((1u << width) - 1);
}

// The field of `width` bits whose least significant bit is `position`.
inline std::uint32_t LsbField(std::uint32_t word, int position, int width) {
  std::uint32_t v = 0;
  for (int k = 0; k < width; ++k) v |= Bit(word, position + k) << k;
  return v;
}

// LsbField of the complemented word.
inline std::uint32_t InvertedLsbField(std::uint32_t word, int position, int width) {
  return LsbField(~word, position, width);
}

// The character of a 4-bit numeric value; 0 for value 10, which prints nothing.
inline char NumericChar(unsigned v) {
  static constexpr char kTable[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                      '8', '9', 0,   'U', ' ', '-', ']', '['};
  return kTable[v & 0x0F];
}

// Where a message's lines stand: the number of lines begun, the length of the last one, and
// whether an alphanumeric message has shown a printable character yet.
struct LineState {
  std::int16_t Lines = 1;
  std::int16_t Length = 0;
  bool Printable = false;
};

// Builds one message text into a caller-owned buffer: a 21-character head, the first line, and
// each further line after a line feed and 21 spaces. Never writes past the buffer; the text is
// always terminated (a buffer of size 0 receives nothing).
class PageText {
 public:
  PageText(char* out, std::size_t size);

  // "%-7s%2.2s %010lu " of the protocol name, the type label and the capcode.
  void Head(const char* protocol, const char* label, std::uint32_t capcode);
  // Continues a message whose text so far is `text` and whose lines stand at `state`.
  void Resume(const char* text, const LineState& state);

  // Appends c to the current line (dropped once the line holds kMaxLineLength characters).
  void Append(char c);
  // Starts a new line. When it would be line kMaxLines + 1 the message is full instead and the
  // result is false.
  bool NewLine();
  // One character of an alphanumeric message: a line feed starts a new line and a space is
  // appended once a printable character has been seen (leading ones are dropped); 33 to 126
  // are appended; anything else is dropped. False when the message is full.
  bool Alpha(unsigned c);

  bool Full() const { return full_; }
  int LineLength() const { return state_.Length; }
  const LineState& State() const { return state_; }

 private:
  void Put(char c);
  void Put(const char* s);

  char* out_;
  std::size_t size_;
  std::size_t length_ = 0;
  LineState state_;
  bool full_ = false;
};

}  // namespace polvane::paging
