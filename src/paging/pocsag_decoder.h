// Decoder of one captured POCSAG batch, and the state that a message cut by the end of a batch
// carries into the next capture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "paging/paging_text.h"

namespace polvane {

namespace pocsag {
inline constexpr std::size_t kCaptureSize = 79;  // a capture's record body
inline constexpr std::size_t kBatchOffset = 13;
inline constexpr int kBatchWords = 16;  // frames 0 to 7, two codewords each
inline constexpr std::uint32_t kIdleWord = 0x7A89C197;
}  // namespace pocsag

// Message types of the capture's type map.
enum class PocsagType : std::uint8_t {
  kUnknown = 0,       // "XX"
  kTone = 1,          // "TN"
  kNumeric = 2,       // "NU"
  kAlphanumeric = 3,  // "AN"
};
const char* PocsagLabel(PocsagType type);

// What the Kes reader keeps from one POCSAG capture to the next: the text of a message that the
// end of the batch cut, the message's type, where its lines stand, and an alphanumeric
// character whose high bits are still to come. Empty text means no open message.
struct PocsagCarry {
  char Text[paging::kTextSize] = {};
  PocsagType Type = PocsagType::kUnknown;
  paging::LineState Lines;
  std::uint8_t PendingBits = 0;  // bits of the open character still to come (0 = none)
  std::uint8_t LowBits = 0;      // the low-order bits of that character already read

  bool Open() const { return Text[0] != '\0'; }
  void Clear() { *this = PocsagCarry{}; }
};

// One POCSAG capture (79 bytes):
//   0  2  count, signed; 10 or less: the capture holds no batch
//   2  1  RSSI magnitude           3  1  type map (2 bits per function code, code 3 highest)
//   5  2  baud rate               7  2  error count
//  13 64  the batch: frame f slot s at 13 + 8f + 4s
//  77  2  channel code
// Nothing is read beyond `size`; codewords that `size` cuts off are past the end of the batch.
//
// Use: NextMessage until it returns true, keeping each non-empty text; then Carry() is the
// state for the next capture's decoder (unchanged when the capture holds no batch).
class PocsagDecoder {
 public:
  PocsagDecoder(const std::uint8_t* data, std::size_t size, const PocsagCarry& carried);

  bool Valid() const { return count_ > 10; }
  std::int16_t Count() const { return count_; }
  std::uint8_t Rssi() const { return rssi_; }
  std::uint8_t TypeMap() const { return typeMap_; }
  double Baud() const { return baud_; }
  std::uint16_t Errors() const { return errors_; }
  std::uint16_t Channel() const { return channel_; }
  // The type the map gives function code 0 to 3.
  PocsagType TypeOf(unsigned functionCode) const {
    return static_cast<PocsagType>(typeMap_ >> (2 * (functionCode & 3)) & 3);
  }

  // Decodes the next message into `out` (at most outSize - 1 characters and a terminator).
  // Returns true when the capture holds no further message: either the text is empty, or it is
  // a message that the end of the batch cut (Continues()).
  bool NextMessage(char* out, std::size_t outSize);
  // Whether the last message continues into the next capture.
  bool Continues() const { return continues_; }
  const PocsagCarry& Carry() const { return carry_; }

 private:
  bool IsMessageWord(int k) const {
    return k < words_ && batch_[k] != pocsag::kIdleWord && paging::Bit(batch_[k], 1);
  }
  void Numeric(std::uint32_t word, paging::PageText& text);
  void Alphanumeric(std::uint32_t word, paging::PageText& text);
  bool Character(unsigned c, paging::PageText& text);
  bool Finish(char* out, std::size_t outSize, bool done);

  std::int16_t count_ = 0;
  std::uint8_t rssi_ = 0, typeMap_ = 0;
  double baud_ = 0;
  std::uint16_t errors_ = 0, channel_ = 0;
  std::uint32_t batch_[pocsag::kBatchWords] = {};
  int words_ = 0;  // codewords present

  int next_ = 0;  // the codeword where the walk goes on
  bool started_ = false;
  bool done_ = false;
  bool continues_ = false;
  PocsagCarry carry_;

  // The message being decoded.
  PocsagType type_ = PocsagType::kUnknown;
  std::uint8_t pendingBits_ = 0, lowBits_ = 0;
  char text_[paging::kTextSize] = {};
};

}  // namespace polvane
