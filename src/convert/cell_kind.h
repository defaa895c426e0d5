// The kind of a cell's value by its text: whole numbers, decimal numbers, anything else is text.
#pragma once

#include <cstddef>
#include <string_view>

#include "convert/line_sink.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace polvane {

// An optional sign, then digits with at most one point among them (at least one digit); an
// empty text is a whole number (an empty cell of a number column).
inline CellKind TextKind(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
  bool digits = false, point = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      digits = true;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      return CellKind::Text;
    }
  }
  if (!digits) return t.empty() ? CellKind::Integer : CellKind::Text;
  return point ? CellKind::Real : CellKind::Integer;
}

// The same, for a text of a buffer that can be read up to `readable`: a text of up to 16 bytes
// is looked at in one piece (a line's numbers are short), the bytes after it read but not used.
inline CellKind TextKindIn(std::string_view t, const char* readable) {
#if defined(__SSE2__)
  if (t.empty() || t.size() > 16 || readable - t.data() < 16) return TextKind(t);
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data()));
  const __m128i offset = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  // A digit's offset from '0' is at most 9 as an unsigned byte.
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(9)), offset);
  const __m128i sign =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')), _mm_cmpeq_epi8(v, _mm_set1_epi8('+')));
  const unsigned inside = t.size() == 16 ? 0xffffu : (1u << t.size()) - 1;
  const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(digit)) & inside;
  const unsigned points =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('.')))) & inside;
  const unsigned signs = static_cast<unsigned>(_mm_movemask_epi8(sign)) & 1u;
  if ((digits | points | signs) != inside || digits == 0 || (points & (points - 1)) != 0)
    return CellKind::Text;
  return points ? CellKind::Real : CellKind::Integer;
#else
  (void)readable;
  return TextKind(t);
#endif
}

}  // namespace polvane
