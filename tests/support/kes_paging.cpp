#include "support/kes_paging.h"

namespace polvane::testing {

Bytes FlexCapture(const FlexCaptureSpec& s) {
  const int length =
      s.declaredLength >= 0 ? s.declaredLength : static_cast<int>(4 * s.words.size());
  Bytes b;
  b.LE16(static_cast<std::uint16_t>(length)).U8(s.rssi).U8(0).U8(s.speed).Zeros(9);
  b.LE16(s.channel).LE16(s.errors);
  for (std::uint32_t w : s.words) b.BE32(w);
  b.Zeros(2);
  return b;
}

Bytes PocsagCapture(const PocsagCaptureSpec& s) {
  Bytes b;
  b.LE16(static_cast<std::uint16_t>(s.count)).U8(s.rssi).U8(s.typeMap).U8(0);
  b.LE16(s.baud).LE16(s.errors).Zeros(4);
  for (int i = 0; i < 16; ++i)
    b.BE32(i < static_cast<int>(s.words.size()) ? s.words[i] : kPocsagIdle);
  b.LE16(s.channel);
  return b;
}

}  // namespace polvane::testing
