#include "convert/identify.h"

#include <cstdio>
#include <cstring>

#include "convert/bytes.h"
#include "convert/input_file.h"

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

}  // namespace

std::int16_t IdentifyProduct(const std::string& path) {
  InputFile f;
  if (!f.Open(path)) return 0;
  char header[kArea];
  ReadHeader(f, header);
  if (Contains(header + 13, "QVXPELMOR")) return 9;

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
    if (Contains(name, "TARV")) return 1;
    if (Contains(name, "SELV")) return 2;
    if (Contains(name, "KES")) return 3;
    if (Contains(name, "DROV")) return 5;
    return 0;
  }

  ReadHeader(f, header);
  if (Contains(header + 4, "QVXKES")) return 4;
  if (Contains(header, "KES")) return 3;
  if (Contains(header, "TQL")) return 7;
  if (Contains(header + 9, "QVXPELMOR")) return 8;
  return 0;
}

const char* ProductLabel(std::int16_t code) {
  switch (code) {
    case 1:
      return "QVX Tarvik";
    case 2:
      return "QVX Selvor";
    case 3:
      return "QVX Kes (PC CARD)";
    case 4:
      return "QVX Kes (PC DUMP)";
    case 5:
      return "QVX Drovel";
    case 7:
      return "QVX Tarvik (>=fv1.27)";
    case 8:
    case 9:
      return "QVX Pelmor";
    default:
      return "(None)";
  }
}

}  // namespace polvane
