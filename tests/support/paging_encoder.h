// Builds captured paging traffic from readable messages, laid out as paging transmitters send
// it: FLEX frames of block information word, address field, vector field and message words
// (alphanumeric messages with their header word and signature, numeric ones without a header),
// and POCSAG batches cut from a stream of addressed pages with idle fill before each address,
// each in the capture layout the Kes receivers store. Every codeword carries its check bits.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

// A codeword in the receivers' bit numbering: position 1 is the most significant bit of the
// first stored byte, position 32 the least significant bit of the fourth.
class PagingWord {
 public:
  PagingWord() = default;
  explicit PagingWord(std::uint32_t value) : value_(value) {}
  // The field of `width` bits at `position`, least significant bit first.
  PagingWord& Lsb(int position, int width, std::uint32_t v);
  // The field of `width` bits at `position`, most significant bit first.
  PagingWord& Msb(int position, int width, std::uint32_t v);
  std::uint32_t Value() const { return value_; }
  // The word with its check bits: the BCH(31,21) check of positions 1 to 21 at positions 22 to
  // 31, and the even parity of the whole word at position 32.
  PagingWord Sealed() const;
  void AppendTo(Bytes& b) const { b.BE32(value_); }

 private:
  std::uint32_t value_ = 0;
};

// ---------------------------------------------------------------- FLEX

inline constexpr int kFlexNumeric = 3;          // "NS"
inline constexpr int kFlexAlphanumeric = 5;     // "AN"
inline constexpr int kFlexNumberedNumeric = 7;  // "NN"

struct FlexPage {
  std::uint32_t capcode = 0;
  int type = kFlexNumeric;            // the vector type
  std::vector<std::uint8_t> symbols;  // 4-bit digit values, or 7-bit character codes
};

// A numeric page from its printed digits ("0"-"9", "U", " ", "-", "]", "[").
FlexPage FlexNumeric(std::uint32_t capcode, std::string_view digits, int type = kFlexNumeric);
// A numeric page from raw 4-bit values (10 prints nothing).
FlexPage FlexDigits(std::uint32_t capcode, std::vector<std::uint8_t> values,
                    int type = kFlexNumeric);
// An alphanumeric page; every byte of `text` is one 7-bit character code.
FlexPage FlexAlphanumeric(std::uint32_t capcode, std::string_view text);
// A page of another vector type, without message words.
FlexPage FlexOther(std::uint32_t capcode, int type);

// Where the builder put a page: word indexes within its phase.
struct FlexPlacement {
  int phase = 0;
  int address = 0;  // first address word
  bool longAddress = false;
  int vector = 0;  // vector word; a long address has a second one after it
  // The page's words in the message field (-1 when none): the header word and the text of a
  // short address's alphanumeric page, the text alone with a long address (its header is the
  // second vector word), the digits of a numeric page (with a long address, after the first
  // digits that the second vector word carries).
  int messageStart = 0;
  int messageWords = 0;
};

struct FlexFrame {
  int phases = 1;
  std::uint8_t speedCode = 1;
  std::uint8_t rssi = 0;
  std::uint16_t channel = 0;
  std::uint16_t errors = 0;
  std::array<std::array<PagingWord, 88>, 4> words{};
  std::vector<FlexPlacement> placed;

  PagingWord& Word(int phase, int index) { return words[phase][index]; }
  // The capture: the 18-byte head and the codewords interleaved by phase (codeword i is the
  // next word of phase i mod phases). `codewords` -1 stores all phases × 88 words; `dataBytes`
  // -1 makes the length field match what is stored.
  Bytes Capture(int codewords = -1, int dataBytes = -1) const;
};

class FlexFrameBuilder {
 public:
  // A frame of 1, 2 or 4 phases, with the speed code the receivers write for that count.
  explicit FlexFrameBuilder(int phases = 1);
  FlexFrameBuilder& SpeedCode(std::uint8_t code);
  FlexFrameBuilder& Head(std::uint8_t rssi, std::uint16_t channel, std::uint16_t errors);
  // Block information words after the first (date and time), 0 to 3.
  FlexFrameBuilder& ExtraWords(int phase, int count);
  // Adds a page to a phase. Capcodes up to 1933312 take a short address, capcodes from 2068481
  // a long one.
  FlexFrameBuilder& Page(int phase, FlexPage page);
  // Lays the pages out: per phase the block information word, the addresses in page order,
  // one vector word per address word, then the message words, then idle codewords. Numeric
  // digits fill the last word with 12 (space), alphanumeric text with ETX.
  FlexFrame Build() const;

 private:
  FlexFrame frame_;
  std::array<int, 4> extra_{};
  std::vector<std::pair<int, FlexPage>> pages_;
};

// ---------------------------------------------------------------- POCSAG

inline constexpr std::uint32_t kPocsagIdle = 0x7A89C197;

enum class PocsagContent { kNone, kNumeric, kAlphanumeric };

struct PocsagPage {
  std::uint32_t capcode = 0;
  int function = 0;  // function code 0 to 3
  PocsagContent content = PocsagContent::kNone;
  std::vector<std::uint8_t> symbols;  // 4-bit digit values, or 7-bit character codes
};

// Pages with the function codes of the default type map (0 "NU", 1 "TN", 2 "XX", 3 "AN").
PocsagPage PocsagNumeric(std::uint32_t capcode, std::string_view digits, int function = 0);
PocsagPage PocsagDigits(std::uint32_t capcode, std::vector<std::uint8_t> values, int function = 0);
// `text` is sent as written; add "\x03" to end it with ETX.
PocsagPage PocsagAlphanumeric(std::uint32_t capcode, std::string_view text, int function = 3);
PocsagPage PocsagTone(std::uint32_t capcode, int function = 1);

// The default type map: function code 3 "AN", 2 "XX", 1 "TN", 0 "NU".
inline constexpr std::uint8_t kPocsagDefaultMap = 3 << 6 | 0 << 4 | 1 << 2 | 2;

struct PocsagHead {
  std::int16_t count = 79;
  std::uint8_t rssi = 90;
  std::uint8_t typeMap = kPocsagDefaultMap;
  std::uint16_t baud = 1200;
  std::uint16_t errors = 0;
  std::uint16_t channel = 0;
};

// Codewords as transmitted, cut into batches of 16.
class PocsagStream {
 public:
  // Sends a page: idle codewords up to its frame (capcode mod 8), its address codeword and its
  // message codewords. Numeric digits fill the last codeword with 12 (space); alphanumeric
  // characters run on over the codewords, the unused bits of the last one 0.
  PocsagStream& Page(const PocsagPage& page);
  PocsagStream& Idle(int count = 1);
  PocsagStream& Word(PagingWord word);
  // Number of codewords sent so far.
  int Size() const { return static_cast<int>(words_.size()); }
  const std::vector<PagingWord>& Words() const { return words_; }

  // Batch b of the stream as a capture, idle words after the end of the stream.
  Bytes Capture(int batch, const PocsagHead& head = {}) const;
  int Batches() const { return (Size() + 15) / 16; }

 private:
  std::vector<PagingWord> words_;
};

// A capture of the given batch codewords (at most 16; idle words after them).
Bytes PocsagCapture(const std::vector<PagingWord>& batch, const PocsagHead& head = {});

// The paging traffic of a drive: POCSAG batches (one message runs on into the next batch) and
// FLEX frames of two phases.
std::vector<Bytes> DrivePocsagCaptures();
std::vector<Bytes> DriveFlexCaptures();

}  // namespace polvane::testing
