// Reads the fixed layouts back for tests: the binary PathPro M01 records as values, and the
// Grayson lines, which end in a lone carriage return.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace polvane::testing {

// One 28-byte M01 record as values.
struct M01Record {
  int kind = 0;  // byte 0, 1 for a measurement
  double rssi = 0, longitude = 0, latitude = 0;
  int hour = 0, minute = 0, second = 0;
};

inline constexpr std::string_view kM01Header{"PathView M01 File\x63\x63", 19};

// The records of `bytes`, 28 bytes each, from its start; a trailing part shorter than a
// record is left out.
std::vector<M01Record> M01Records(std::string_view bytes);

// The lines of Grayson text, each without its "\r"; text after the last "\r" is a last line.
std::vector<std::string> GraysonLines(std::string_view text);

}  // namespace polvane::testing
