#include "convert/best_entry.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace polvane {

namespace {

// The most entries a sweep of any receiver holds; a longer one is chosen entry by entry.
constexpr int kMostGathered = 256;

// The weakest magnitude that still beats the floor of -121 dBm, plus one.
constexpr unsigned kFloor = 121;

std::int16_t FirstOfLeast(const std::uint8_t* m, int count) {
  const unsigned least = LeastMagnitude(m, count);
  // Nothing stronger than the floor: entry 0, as the entry-by-entry choice has it.
  if (least >= kFloor) return 0;
  const void* at = std::memchr(m, static_cast<int>(least), static_cast<std::size_t>(count));
  return static_cast<std::int16_t>(static_cast<const std::uint8_t*>(at) - m);
}

#if defined(__SSE2__)
// Lanes that are no three-byte entry's start, for a step that starts 0, 1 or 2 bytes past one.
struct OtherLanes {
  alignas(16) std::uint8_t Bytes[3][16];
};
constexpr OtherLanes MakeOtherLanes() {
  OtherLanes lanes{};
  for (int r = 0; r < 3; ++r)
    for (int i = 0; i < 16; ++i) lanes.Bytes[r][i] = (r + i) % 3 == 0 ? 0 : 0xFF;
  return lanes;
}
constexpr OtherLanes kOtherLanes = MakeOtherLanes();

// Entries of three bytes do not fall into lanes: the table's bytes keep their places instead.
// The byte at an entry's start becomes the entry's magnitude (255 without a channel), every
// other byte 255, so that the first least byte is at three times the chosen entry. Sixteen
// bytes a step, from three loads one byte apart: in lane i, the bytes at i, i + 1 and i + 2.
std::int16_t StrongestOfThreeByteEntries(const std::uint8_t* table, int count) {
  std::uint8_t keys[3 * kMostGathered];
  const int n = 3 * count;
  int at = 0;
  for (; at + 18 <= n; at += 16) {
    const auto load = [&](int k) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + at + k));
    };
    const __m128i none = _mm_cmpeq_epi8(_mm_or_si128(load(0), load(1)), _mm_setzero_si128());
    const __m128i other =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kOtherLanes.Bytes[at % 3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(keys + at),
                     _mm_or_si128(_mm_or_si128(load(2), none), other));
  }
  for (; at < n; ++at)
    keys[at] = at % 3 != 0 || (table[at] | table[at + 1]) == 0 ? 0xFF : table[at + 2];
  return static_cast<std::int16_t>(FirstOfLeast(keys, n) / 3);
}
#endif

}  // namespace

std::uint8_t LeastMagnitude(const std::uint8_t* m, int count) {
  unsigned least = 255;
  int i = 0;
#if defined(__SSE2__)
  __m128i low = _mm_set1_epi8(static_cast<char>(0xFF));
  for (; i + 16 <= count; i += 16)
    low = _mm_min_epu8(low, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i)));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 8));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 4));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 2));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 1));
  least = static_cast<unsigned>(_mm_cvtsi128_si32(low)) & 0xFF;
#endif
  for (; i < count; ++i) least = std::min<unsigned>(least, m[i]);
  return static_cast<std::uint8_t>(least);
}

int LastPlaceOf(const std::uint8_t* bytes, int count, std::uint8_t value) {
  int i = count;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  for (; i >= 16; i -= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i - 16));
    const auto marks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    if (marks != 0) return i - 16 + 31 - std::countl_zero(marks);
  }
#endif
  while (i > 0)
    if (bytes[--i] == value) return i;
  return -1;
}

std::int16_t StrongestMagnitude(const std::uint8_t* magnitudes, int count, int stride) {
  if (count <= 0) return 0;
  if (stride == 1) return FirstOfLeast(magnitudes, count);
  if (count > kMostGathered)
    return StrongestEntry(
        count, true, [](int) { return true; },
        [&](int e) { return static_cast<int>(magnitudes[e * stride]); });
  std::uint8_t gathered[kMostGathered];
  for (int e = 0; e < count; ++e) gathered[e] = magnitudes[e * stride];
  return FirstOfLeast(gathered, count);
}

std::int16_t StrongestTableEntry(const std::uint8_t* table, int count, int size) {
  if (count <= 0) return 0;
  if (count > kMostGathered)
    return StrongestEntry(
        count, true, [&](int e) { return (table[e * size] | table[e * size + 1]) != 0; },
        [&](int e) { return static_cast<int>(table[e * size + 2]); });
#if defined(__SSE2__)
  if (size == 3) return StrongestOfThreeByteEntries(table, count);
#endif
  std::uint8_t gathered[kMostGathered];
  const std::uint8_t* entry = table;
  int e = 0;
#if defined(__SSE2__)
  if (size == 4) {
    // Four entries a vector, each a 32-bit lane: the channel word in its low half, the
    // magnitude above it. Sixteen lanes pack into sixteen bytes in the entries' order.
    const __m128i word = _mm_set1_epi32(0xFFFF), byte = _mm_set1_epi32(0xFF);
    auto keys = [&](const std::uint8_t* at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i none = _mm_cmpeq_epi32(_mm_and_si128(v, word), _mm_setzero_si128());
      return _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), byte), _mm_and_si128(none, byte));
    };
    for (; e + 16 <= count; e += 16, entry += 64) {
      const __m128i low = _mm_packs_epi32(keys(entry), keys(entry + 16));
      const __m128i high = _mm_packs_epi32(keys(entry + 32), keys(entry + 48));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(gathered + e), _mm_packus_epi16(low, high));
    }
  }
#endif
  for (; e < count; ++e, entry += size) gathered[e] = (entry[0] | entry[1]) != 0 ? entry[2] : 0xFF;
  return FirstOfLeast(gathered, count);
}

}  // namespace polvane
