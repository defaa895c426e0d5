// The numbers stored inside a record, read the one way every reader reads them: unsigned
// little- and big-endian words at a byte position, and the sum of a run of sample bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace polvane {

// Little-endian numbers (record framing and most receiver data).
inline std::uint16_t ReadLE16(const std::uint8_t* bytes, int position) {
  return static_cast<std::uint16_t>(bytes[position] | bytes[position + 1] << 8);
}
inline std::uint32_t ReadLE32(const std::uint8_t* bytes, int position) {
  return static_cast<std::uint32_t>(bytes[position]) |
         static_cast<std::uint32_t>(bytes[position + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[position + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[position + 3]) << 24;
}

// Big-endian numbers (GPS blocks, Drovel records).
inline std::uint16_t ReadBE16(const std::uint8_t* bytes, int position) {
  return static_cast<std::uint16_t>(bytes[position] << 8 | bytes[position + 1]);
}
inline std::uint32_t ReadBE32(const std::uint8_t* bytes, int position) {
  return static_cast<std::uint32_t>(bytes[position]) << 24 |
         static_cast<std::uint32_t>(bytes[position + 1]) << 16 |
         static_cast<std::uint32_t>(bytes[position + 2]) << 8 | bytes[position + 3];
}

// Sum of n sample bytes (the fast-record sample means): 32 at a time where the processor has
// AVX2, 16 at a time with SSE2.
unsigned SumBytes(const std::uint8_t* bytes, std::size_t n);

}  // namespace polvane
