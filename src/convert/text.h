// Number formatting into caller-owned buffers. Each function writes the same characters that the
// printf conversion named beside it would write under the "C" locale, never depends on the
// user's locale, allocates nothing, and returns the position after what it wrote (no terminator).
#pragma once

#include <charconv>
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
  char* end = std::to_chars(digits, digits + sizeof digits, v < 0 ? -v : v).ptr;
  int n = static_cast<int>(end - digits);
  if (v < 0) {
    *p++ = '-';
    --width;
  }
  for (; n < width; --width) *p++ = '0';
  std::memcpy(p, digits, end - digits);
  return p + (end - digits);
}

// "%02d".
inline char* Put02(char* p, long long v) {
  return PutPadded(p, v, 2);
}

// "%.Nf": fixed notation with `precision` digits, rounded exactly as printf rounds.
inline char* PutFixed(char* p, double v, int precision) {
  return std::to_chars(p, p + 400, v, std::chars_format::fixed, precision).ptr;
}

// Terminates the text at p and returns p.
inline char* End(char* p) {
  *p = '\0';
  return p;
}

}  // namespace polvane::text
