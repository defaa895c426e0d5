// Paging captures as the Kes receivers store them, from readable values: a FLEX frame (from its
// length field on) and a 79-byte POCSAG block. Code words are given as 32-bit values whose
// most significant bit is bit position 1; they are stored in that byte order.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

inline constexpr std::uint32_t kPocsagIdle = 0x7A89C197;

struct FlexCaptureSpec {
  std::uint8_t rssi = 90;
  std::uint8_t speed = 1;  // 4 or 6: two phases, 8: four, 0: as the previous frame, else one
  std::uint16_t channel = 5;
  std::uint16_t errors = 0;
  std::vector<std::uint32_t> words;  // interleaved by phase
  int declaredLength = -1;           // the length field as written; -1 gives 4 x words
};
Bytes FlexCapture(const FlexCaptureSpec& spec);

struct PocsagCaptureSpec {
  std::int16_t count = 64;  // 10 or less: the capture holds no batch
  std::uint8_t rssi = 80;
  std::uint8_t typeMap = 0xE4;  // function 3 "AN", 2 "NU", 1 "TN", 0 "XX"
  std::uint16_t baud = 1200;
  std::uint16_t errors = 0;
  std::vector<std::uint32_t> words;  // up to 16, the rest idle
  std::uint16_t channel = 7;
};
Bytes PocsagCapture(const PocsagCaptureSpec& spec);

}  // namespace polvane::testing
