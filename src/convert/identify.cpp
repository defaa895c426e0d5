#include "convert/identify.h"

#include <cstdio>
#include <cstring>

#include "convert/bytes.h"
#include "convert/input_file.h"
#include "convert/product_rows.h"

namespace polvane {

namespace {

constexpr int kArea = 128;

// Substring search in a zero-terminated text: the text ends at its first zero byte, and an
// empty text never matches.
bool Contains(const char* text, const char* tag) {
  return text[0] != '\0' && std::strstr(text, tag) != nullptr;
}

// The first 32 bytes of the file in a fresh zero-filled area.
void ReadHeader(InputFile& f, char (&area)[kArea]) {
  std::memset(area, 0, sizeof area);
  f.Seek(0);
  f.Read(area, 32);
}

// The product whose header tag the header holds, trying the tags tried before the identification
// record (`early`) or those tried after it, lowest rank first; 0 for none.
std::int16_t HeaderProduct(const char (&header)[kArea], bool early) {
  const ProductRow* found = nullptr;
  for (const ProductRow& row : ProductRows()) {
    const ProductSignature& s = row.Signature;
    if (s.HeaderTag.empty() || s.HeaderOffset < 0 || (s.HeaderRank < 0) != early) continue;
    if (found && found->Signature.HeaderRank <= s.HeaderRank) continue;
    // The tags are literals, each zero-terminated.
    if (Contains(header + s.HeaderOffset, s.HeaderTag.data())) found = &row;
  }
  return found ? found->Code : 0;
}

}  // namespace

std::int16_t IdentifyProduct(const std::string& path) {
  InputFile f;
  if (!f.Open(path)) return 0;
  return IdentifyProduct(f);
}

std::int16_t IdentifyProduct(InputFile& f) {
  char header[kArea];
  ReadHeader(f, header);
  if (const std::int16_t code = HeaderProduct(header, true)) return code;

  f.Seek(0);
  std::uint8_t prefix[4];
  if (!f.ReadExact(prefix, 4)) return 0;
  const auto length = static_cast<std::int32_t>(ReadLE32(prefix, 0));
  // A negative first length is treated like one above 256: the file has no length-prefixed
  // identification record, so the header tags decide.
  if (length > 0 && length <= 256) {
    char record[kArea * 3] = {};
    f.Read(record, static_cast<std::size_t>(length));
    if (record[0] != 'I') return 0;
    char name[kArea] = {};
    std::size_t n = static_cast<std::uint8_t>(record[1]);
    if (n > kArea - 1) n = kArea - 1;
    for (std::size_t i = 0; i < n && record[5 + i] != '\0'; ++i) name[i] = record[5 + i];
    for (const ProductRow& row : ProductRows())
      if (!row.Signature.RecordName.empty() && Contains(name, row.Signature.RecordName.data()))
        return row.Code;
    return 0;
  }

  ReadHeader(f, header);
  return HeaderProduct(header, false);
}

const char* ProductLabel(std::int16_t code) {
  // The labels are literals, each zero-terminated.
  const ProductRow* row = FindProduct(code);
  return row && !row->Label.empty() ? row->Label.data() : "(None)";
}

}  // namespace polvane
