// Number formatting into caller-owned buffers. Each function writes the same characters that the
// printf conversion named beside it would write under the "C" locale, never depends on the
// user's locale, allocates nothing, and returns the position after what it wrote (no terminator).
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace polvane::text {

// "%s" (up to the terminating zero).
inline char* Put(char* p, const char* s) {
  std::size_t n = std::strlen(s);
  std::memcpy(p, s, n);
  return p + n;
}

inline char* Put(char* p, char c) {
  *p = c;
  return p + 1;
}

// "%d" / "%ld".
inline char* PutInt(char* p, long long v) {
  return std::to_chars(p, p + 24, v).ptr;
}

// "%0Nd": at least `width` characters, zero-padded after the sign.
inline char* PutPadded(char* p, long long v, int width) {
  char digits[24];
  // The magnitude is taken unsigned: it holds that of the most negative value too, and g++ 12
  // made wrong code of the signed form in a build with ThreadSanitizer and frame pointers
  // (every year of four digits came out as two characters past the digit table).
  const unsigned long long magnitude =
      v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  int n = static_cast<int>(end - digits);
  if (v < 0) {
    *p++ = '-';
    --width;
  }
  for (; n < width; --width) *p++ = '0';
  std::memcpy(p, digits, end - digits);
  return p + (end - digits);
}

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The texts of the values a record's byte holds, signed or not (-128 to 255).
struct ByteText {
  char Text[7];  // at most four characters, the rest zero
  std::uint8_t Length;
};
inline constexpr std::array<ByteText, 384> kByteTexts = [] {
  std::array<ByteText, 384> table{};
  for (int v = -128; v < 256; ++v) {
    ByteText& t = table[static_cast<std::size_t>(v + 128)];
    char digits[3];
    int n = 0;
    for (int rest = v < 0 ? -v : v; n == 0 || rest > 0; rest /= 10)
      digits[n++] = static_cast<char>('0' + rest % 10);
    int k = 0;
    if (v < 0) t.Text[k++] = '-';
    while (n > 0) t.Text[k++] = digits[--n];
    t.Length = static_cast<std::uint8_t>(k);
  }
  return table;
}();

// "%d" of a level or code of a record's byte, copied from the table (any other value as
// PutInt): a drive writes millions of them. The destination needs room for four characters.
inline char* PutByteValue(char* p, long long v) {
  if (v < -128 || v > 255) return PutInt(p, v);
  const ByteText& t = kByteTexts[static_cast<std::size_t>(v + 128)];
  std::memcpy(p, t.Text, 4);
  return p + t.Length;
}

// "%02d": the two digits of a clock value straight from the table.
inline char* Put02(char* p, long long v) {
  if (v < 0 || v > 99) return PutPadded(p, v, 2);
  std::memcpy(p, kDigitPairs + 2 * v, 2);
  return p + 2;
}

// "%.Nf": fixed notation with `precision` digits, rounded exactly as printf rounds (the exact
// binary value to the nearest, ties to even). Values of the size the receivers produce take an
// exact integer path; everything else goes through std::to_chars.
char* PutFixedSlow(char* p, double v, int precision);

// `units` (a value times 10^Precision) split at the point: a division by a constant is a
// multiplication, where one by a power of ten looked up at run time costs tens of cycles.
template <int Precision>
inline std::uint64_t SplitUnits(std::uint64_t units, std::uint64_t& fraction) {
  std::uint64_t pow = 1;
  for (int k = 0; k < Precision; ++k) pow *= 10;
  fraction = units % pow;
  return units / pow;
}

// |v| * scale rounded to the nearest whole number, ties to even, worked out exactly from the
// bits of v (|v| < 1e12, scale at most 10^6): v is mantissa * 2^shift, mantissa < 2^53.
inline std::uint64_t ExactUnits(std::uint64_t bits, std::uint64_t scale) {
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int shift = -1074;  // subnormal or zero
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    shift = biased - 1075;
  }
  const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * scale;
  if (shift >= 0) return static_cast<std::uint64_t>(scaled << shift);  // no overflow
  if (-shift >= 100) return 0;
  const int s = -shift;
  const unsigned __int128 one = 1;
  std::uint64_t q = static_cast<std::uint64_t>(scaled >> s);
  const unsigned __int128 rest = scaled & ((one << s) - 1), half = one << (s - 1);
  if (rest > half || (rest == half && (q & 1))) ++q;
  return q;
}

inline char* PutFixed(char* p, double v, int precision) {
  static constexpr std::uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  if (precision < 0 || precision > 6 || !(v > -1e12 && v < 1e12))
    return PutFixedSlow(p, v, precision);
  const auto bits = std::bit_cast<std::uint64_t>(v);
  const bool negative = (bits >> 63) != 0;
  std::uint64_t units;  // |v| * 10^precision, rounded
  // The product in doubles is within half a unit in its last place of the exact one: where
  // its fraction lies clear of one half by more than that (as nearly always), it rounds as the
  // exact product does. Whole part and fraction are exact below 2^52.
  static constexpr double kTens[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const double product = std::fabs(v) * kTens[precision];
  const auto below = static_cast<std::uint64_t>(static_cast<std::int64_t>(product));  // < 1e18
  const double fromHalf = product - static_cast<double>(below) - 0.5;
  const double margin = product * 0x1p-51;
  if (product < 0x1p52 && (fromHalf > margin || -fromHalf > margin)) {
    units = below + (fromHalf > 0);
  } else {
    units = ExactUnits(bits, kPow10[precision]);
  }
  if (negative) *p++ = '-';
  std::uint64_t frac = 0, whole = units;
  switch (precision) {
    case 0:
      break;
    case 1:
      whole = SplitUnits<1>(units, frac);
      break;
    case 2:
      whole = SplitUnits<2>(units, frac);
      break;
    case 3:
      whole = SplitUnits<3>(units, frac);
      break;
    case 4:
      whole = SplitUnits<4>(units, frac);
      break;
    case 5:
      whole = SplitUnits<5>(units, frac);
      break;
    default:
      whole = SplitUnits<6>(units, frac);
      break;
  }
  p = std::to_chars(p, p + 24, whole).ptr;
  if (precision > 0) {
    *p++ = '.';
    // The fraction's digits two at a time from the right, leading zeros included.
    char* q = p + precision;
    int left = precision;
    for (; left >= 2; left -= 2) {
      q -= 2;
      std::memcpy(q, kDigitPairs + (frac % 100) * 2, 2);
      frac /= 100;
    }
    if (left) *--q = static_cast<char>('0' + frac);
    p += precision;
  }
  return p;
}

// "%02d<sep>%02d<sep>%02d": a clock time or a date.
inline char* Put02Triple(char* p, long long a, long long b, long long c, char separator) {
  p = Put02(p, a);
  p = Put02(Put(p, separator), b);
  return Put02(Put(p, separator), c);
}

// Separates the next item of a list that began at `start`: a delimiter unless p is still there.
inline char* Join(char* p, const char* start, char delimiter) {
  if (p != start) *p++ = delimiter;
  return p;
}

// Terminates the text at p and returns p.
inline char* End(char* p) {
  *p = '\0';
  return p;
}

}  // namespace polvane::text
