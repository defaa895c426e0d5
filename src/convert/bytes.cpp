#include "convert/bytes.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define POLVANE_X86_DISPATCH 1
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace polvane {

namespace {

unsigned SumBytesPortable(const std::uint8_t* bytes, std::size_t n) {
  unsigned sum = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  __m128i lanes = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16)
    lanes = _mm_add_epi64(lanes,
                          _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)),
                                       _mm_setzero_si128()));
  sum = static_cast<unsigned>(_mm_cvtsi128_si32(lanes) +
                              _mm_cvtsi128_si32(_mm_unpackhi_epi64(lanes, lanes)));
#endif
  for (; i < n; ++i) sum += bytes[i];
  return sum;
}

#if defined(POLVANE_X86_DISPATCH)
__attribute__((target("avx2"))) unsigned SumBytesAvx2(const std::uint8_t* bytes, std::size_t n) {
  __m256i lanes = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32)
    lanes = _mm256_add_epi64(
        lanes, _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i)),
                               _mm256_setzero_si256()));
  const __m128i half =
      _mm_add_epi64(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
  unsigned sum = static_cast<unsigned>(_mm_cvtsi128_si32(half) +
                                       _mm_cvtsi128_si32(_mm_unpackhi_epi64(half, half)));
  return sum + SumBytesPortable(bytes + i, n - i);
}
#endif

}  // namespace

unsigned SumBytes(const std::uint8_t* bytes, std::size_t n) {
#if defined(POLVANE_X86_DISPATCH)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return SumBytesAvx2(bytes, n);
#endif
  return SumBytesPortable(bytes, n);
}

}  // namespace polvane
