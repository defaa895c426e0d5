#include "paging/pocsag_decoder.h"

#include <algorithm>
#include <cstring>

#include "convert/bytes.h"

namespace polvane {

using paging::LsbField;
using paging::PageText;
using namespace pocsag;

const char* PocsagLabel(PocsagType type) {
  static constexpr const char* kLabels[4] = {"XX", "TN", "NU", "AN"};
  return kLabels[static_cast<unsigned>(type) & 3];
}

PocsagDecoder::PocsagDecoder(const std::uint8_t* data, std::size_t size, const PocsagCarry& carried)
    : carry_(carried) {
  carry_.Text[sizeof carry_.Text - 1] = '\0';
  std::uint8_t body[kCaptureSize] = {};
  size = data == nullptr ? 0 : std::min(size, kCaptureSize);
  if (size > 0) std::memcpy(body, data, size);
  count_ = static_cast<std::int16_t>(ReadLE16(body, 0));
  rssi_ = body[2];
  typeMap_ = body[3];
  baud_ = ReadLE16(body, 5);
  errors_ = ReadLE16(body, 7);
  channel_ = ReadLE16(body, 77);
  words_ = size > kBatchOffset ? std::min<int>(kBatchWords, (size - kBatchOffset) / 4) : 0;
  for (int k = 0; k < words_; ++k) batch_[k] = paging::ReadCodeword(body + kBatchOffset + 4 * k);
}

bool PocsagDecoder::NextMessage(char* out, std::size_t outSize) {
  PageText text(text_, sizeof text_);
  if (!Valid() || done_) return Finish(out, outSize, true);

  bool resumed = false;
  if (!started_) {
    started_ = true;
    if (carry_.Open()) {
      // The first message goes on with the one the previous batch cut.
      type_ = carry_.Type;
      text.Resume(carry_.Text, carry_.Lines);
      // A character is at most 6 bits short; any other carried count starts afresh.
      const bool pending = carry_.PendingBits >= 1 && carry_.PendingBits <= 6;
      pendingBits_ = pending ? carry_.PendingBits : 0;
      lowBits_ = pending ? carry_.LowBits & ((1u << (7 - pendingBits_)) - 1) : 0;
      resumed = true;
    }
    carry_.Clear();
  }
  if (!resumed) {
    // Walk to the next address codeword: message codewords on the way belong to no message,
    // and idle codewords fill the frames before an address and the gaps between messages.
    while (next_ < words_ && (IsMessageWord(next_) || batch_[next_] == kIdleWord)) ++next_;
    if (next_ >= words_) {
      done_ = true;
      return Finish(out, outSize, true);
    }
    const std::uint32_t address = batch_[next_];
    const std::uint32_t capcode = paging::MsbField(address, 2, 18) * 8 + next_ / 2;
    type_ = TypeOf(LsbField(address, 20, 2));
    pendingBits_ = lowBits_ = 0;
    ++next_;
    text.Head("POCSAG", PocsagLabel(type_), capcode);
  }

  while (!text.Full() && IsMessageWord(next_)) {
    const std::uint32_t word = batch_[next_++];
    if (type_ == PocsagType::kNumeric) Numeric(word, text);
    if (type_ == PocsagType::kAlphanumeric) Alphanumeric(word, text);
  }

  if (!text.Full() && next_ >= words_) {
    // The batch ended inside the message: it goes on in the next capture.
    continues_ = done_ = true;
    std::memcpy(carry_.Text, text_, sizeof carry_.Text);
    carry_.Type = type_;
    carry_.Lines = text.State();
    carry_.PendingBits = pendingBits_;
    carry_.LowBits = lowBits_;
    return Finish(out, outSize, true);
  }
  return Finish(out, outSize, false);
}

bool PocsagDecoder::Finish(char* out, std::size_t outSize, bool done) {
  if (outSize > 0) {
    std::size_t n = std::min(std::strlen(text_), outSize - 1);
    std::memcpy(out, text_, n);
    out[n] = '\0';
  }
  return done;
}

void PocsagDecoder::Numeric(std::uint32_t word, PageText& text) {
  if (text.LineLength() > paging::kWrapLength && !text.NewLine()) return;
  for (int p = 2; p <= 18; p += 4)
    if (char c = paging::NumericChar(LsbField(word, p, 4))) text.Append(c);
}

void PocsagDecoder::Alphanumeric(std::uint32_t word, PageText& text) {
  int p = 2;
  if (pendingBits_ > 0) {
    // The character the previous codeword began: these first bits are its high-order bits.
    const unsigned c = lowBits_ | LsbField(word, p, pendingBits_) << (7 - pendingBits_);
    p += pendingBits_;
    pendingBits_ = lowBits_ = 0;
    if (!Character(c, text)) return;
  }
  for (; p + 6 <= 21; p += 7)
    if (!Character(LsbField(word, p, 7), text)) return;
  if (p <= 21) {
    const int have = 22 - p;
    lowBits_ = static_cast<std::uint8_t>(LsbField(word, p, have));
    pendingBits_ = static_cast<std::uint8_t>(7 - have);
  }
}

// One alphanumeric character; false when the rest of the codeword is dropped (at NUL and ETX,
// or when the message is full). A line that passes 80 characters breaks after the character,
// and the characters go on from the next bit.
bool PocsagDecoder::Character(unsigned c, PageText& text) {
  if (c == 0 || c == 3) return false;
  if (!text.Alpha(c)) return false;
  if (text.LineLength() > paging::kWrapLength) return text.NewLine();
  return true;
}

}  // namespace polvane
