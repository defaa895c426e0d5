#include "support/fixed_layout_reader.h"

#include <bit>
#include <cstdint>

namespace polvane::testing {

namespace {

double LE64(std::string_view b, std::size_t at) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | static_cast<std::uint8_t>(b[at + i]);
  return std::bit_cast<double>(bits);
}

}  // namespace

std::vector<M01Record> M01Records(std::string_view bytes) {
  std::vector<M01Record> records;
  for (std::size_t at = 0; at + 28 <= bytes.size(); at += 28) {
    M01Record r;
    r.kind = static_cast<std::uint8_t>(bytes[at]);
    r.rssi = LE64(bytes, at + 1);
    r.longitude = LE64(bytes, at + 9);
    r.latitude = LE64(bytes, at + 17);
    r.hour = static_cast<std::uint8_t>(bytes[at + 25]);
    r.minute = static_cast<std::uint8_t>(bytes[at + 26]);
    r.second = static_cast<std::uint8_t>(bytes[at + 27]);
    records.push_back(r);
  }
  return records;
}

std::vector<std::string> GraysonLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') continue;
    lines.emplace_back(text.substr(start, i - start));
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace polvane::testing
