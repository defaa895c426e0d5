#include "convert/text.h"

namespace polvane::text {

char* PutFixedSlow(char* p, double v, int precision) {
  return std::to_chars(p, p + 400, v, std::chars_format::fixed, precision).ptr;
}

}  // namespace polvane::text
