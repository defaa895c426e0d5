// The two position forms the receivers store, decoded into degrees, minutes and thousandths of
// a minute with a hemisphere character, and the field texts written from them.
#pragma once

#include <cstdint>

#include "convert/text.h"

namespace polvane {

struct Position {
  std::int16_t Degrees = 0;
  std::int16_t Minutes = 0;
  std::int16_t Thousandths = 0;  // thousandths of a minute
  char Hemisphere = 0;

  double DecimalDegrees() const { return Degrees + Minutes / 60.0 + Thousandths / 60000.0; }
};

// Two packed BCD digits, high nibble first (nibbles above 9 are taken at face value).
inline int Bcd2(std::uint8_t b) {
  return (b >> 4) * 10 + (b & 0x0F);
}

// 4 bytes of 8 packed BCD digits: 3 digits degrees, 2 minutes, 3 thousandths of a minute.
inline Position DecodeBcdPosition(const std::uint8_t* p, char hemisphere) {
  // The digits straight from their nibbles: a record's two positions are decoded with every
  // record read.
  const int hi[4] = {p[0] >> 4, p[1] >> 4, p[2] >> 4, p[3] >> 4};
  const int lo[4] = {p[0] & 0x0F, p[1] & 0x0F, p[2] & 0x0F, p[3] & 0x0F};
  Position pos;
  pos.Degrees = static_cast<std::int16_t>(100 * hi[0] + 10 * lo[0] + hi[1]);
  pos.Minutes = static_cast<std::int16_t>(10 * lo[1] + hi[2]);
  pos.Thousandths = static_cast<std::int16_t>(100 * lo[2] + 10 * hi[3] + lo[3]);
  pos.Hemisphere = hemisphere;
  return pos;
}

// Signed thousandths of an arc-second (1/3,600,000 degree); `positive` when above 0, else
// `negative` (0 is `negative`).
inline Position DecodeBinaryPosition(std::int32_t v, char positive, char negative) {
  std::int64_t a = v < 0 ? -static_cast<std::int64_t>(v) : v;
  Position pos;
  pos.Hemisphere = v > 0 ? positive : negative;
  pos.Degrees = static_cast<std::int16_t>(a / 3600000);
  std::int64_t r = a % 3600000;
  pos.Minutes = static_cast<std::int16_t>(r / 60000);
  pos.Thousandths = static_cast<std::int16_t>((r % 60000) / 60);
  return pos;
}

// "%.4f" of the decimal degrees, with a leading minus unless the hemisphere is `positive`.
inline char* PutDecimalDegrees(char* p, const Position& pos, char positive, int precision = 4) {
  if (pos.Hemisphere != positive) *p++ = '-';
  return text::PutFixed(p, pos.DecimalDegrees(), precision);
}

// The field texts of one coordinate, by offset from its "Decimal Degrees" catalogue index:
// 0 decimal degrees, 1 degrees, 2 minutes, 3 decimal minutes, 4 seconds, 5 hemisphere.
inline char* PutCoordinateField(char* p, const Position& pos, int offset, char positive) {
  switch (offset) {
    case 0:
      return PutDecimalDegrees(p, pos, positive);
    case 1:
      return text::PutInt(p, pos.Degrees);
    case 2:
      return text::PutInt(p, pos.Minutes);
    case 3:
      p = text::PutInt(p, pos.Minutes);
      *p++ = '.';
      return text::PutPadded(p, pos.Thousandths, 3);
    case 4:
      return text::PutInt(p, pos.Thousandths * 60 / 1000);
    case 5:
      if (pos.Hemisphere != '\0') *p++ = pos.Hemisphere;
      return p;
    default:
      return p;
  }
}

}  // namespace polvane
