#include "formats/fixed_layouts.h"

#include "convert/output_file.h"

#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "convert/record_loop.h"
#include "convert/text.h"

namespace polvane {

static_assert(kFixedPathPro == kFormatPathPro, "the record loop writes PathPro pieces as binary");

namespace tx = text;

namespace {

constexpr const char* kRecordTail = "RCRD000000000000000000000000000000000000000000";
constexpr const char* kIdleTail = "IDLE000000000000000000000000000000000000000000";
constexpr const char* kDrovelPosition = "G0000000000.000000000.00000";
constexpr const char* kM01Header = "PathView M01 File\x63\x63";
constexpr int kM01HeaderSize = 19;

// Longest line any layout writes: three "%.6f" of the largest doubles (309 integer digits
// each) and a handful of integers stay well below this.
constexpr int kMaxLine = 2048;

// Assembles one piece in the caller's buffer a line at a time. While the buffer has room for
// the longest line, a line is formatted where it goes; nearer its end, into a scratch buffer
// first, and kept only when it fits with room for the terminating zero.
class Piece {
 public:
  Piece(char* out, int capacity) : out_(out), capacity_(capacity > 0 ? capacity : 0) {
    if (capacity_ > 0) out_[0] = '\0';
  }
  char* Line() {
    line_ = capacity_ - used_ > kMaxLine ? out_ + used_ : scratch_;
    return line_;
  }
  // Keeps the line begun at the last Line() that ends at `end`; false when it did not fit (the
  // piece is then full).
  bool Keep(const char* end) {
    const int n = static_cast<int>(end - line_);
    if (full_ || used_ + n + 1 > capacity_) {
      full_ = true;
      if (line_ != scratch_) out_[used_] = '\0';  // the piece stays as it was kept
      return false;
    }
    if (line_ == scratch_) std::memcpy(out_ + used_, scratch_, n);
    used_ += n;
    out_[used_] = '\0';
    return true;
  }
  bool Keep(const char* s, int n) {
    std::memcpy(Line(), s, n);
    return Keep(line_ + n);
  }
  bool Full() const { return full_; }
  int Length() const { return used_; }

 private:
  char* out_;
  int capacity_;
  int used_ = 0;
  bool full_ = false;
  char* line_ = scratch_;
  char scratch_[kMaxLine];
};

// "%+0Nd": a sign always, the digits zero-padded to `width` characters with the sign.
char* PutSignedPadded(char* p, long long v, int width) {
  *p++ = v < 0 ? '-' : '+';
  const unsigned long long a = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : v;
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, a).ptr;
  for (int n = static_cast<int>(end - digits); n < width - 1; ++n) *p++ = '0';
  std::memcpy(p, digits, end - digits);
  return p + (end - digits);
}

// "%+.Nf": a "+" unless the value carries a minus sign of its own (negative zero included).
char* PutSignedFixed(char* p, double v, int precision) {
  if (!std::signbit(v)) *p++ = '+';
  return tx::PutFixed(p, v, precision);
}

// A real value truncated toward zero, held inside the range of the type.
long long Truncate(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9.2e18) return 9200000000000000000LL;
  if (v <= -9.2e18) return -9200000000000000000LL;
  return static_cast<long long>(v);
}

char* PutMinuteSecond(char* p, const FixedValues& v) {
  p = tx::Put02(tx::Put02(p, v.Minute), v.Second);
  return tx::Put(p, "00");
}

char* PutLE64(char* p, double d) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(d);
  for (int i = 0; i < 8; ++i) *p++ = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return p;
}

int ReadingCount(const FixedValues& v) {
  return v.ReadingCount < 0                   ? 0
         : v.ReadingCount > kMaxFixedReadings ? kMaxFixedReadings
                                              : v.ReadingCount;
}

// --- Grayson IQ Analyzer ---

void GraysonHeader(const FixedValues& v, Piece& piece) {
  char* p = piece.Line();
  if (v.Style == FixedStyle::kDrovel) {
    p = tx::Put02(tx::Put(p, "D000000000"), v.Hour);
  } else {
    p = tx::PutPadded(tx::Put(p, 'D'), FourDigitYear(v.Year), 4);
    p = tx::Put02(tx::Put02(tx::Put02(p, v.Month), v.Day), v.Hour);
  }
  if (!piece.Keep(tx::Put(p, '\r'))) return;
  p = PutMinuteSecond(tx::Put(piece.Line(), 'm'), v);
  piece.Keep(tx::Put(tx::Put(p, kRecordTail), '\r'));
}

void GraysonRecord(const FixedValues& v, Piece& piece) {
  const int n = ReadingCount(v);
  for (int i = 0; i < n; ++i) {
    const FixedReading& r = v.Readings[i];
    char* p = PutMinuteSecond(tx::Put(piece.Line(), 'r'), v);
    p = tx::PutPadded(p, Truncate(r.Frequency * 100000.0), 9);
    p = tx::PutPadded(p, r.Rssi, 3);
    if (!piece.Keep(tx::Put(p, '\r'))) return;
  }
  char* p = piece.Line();
  if (v.Style == FixedStyle::kDrovel) {
    p = tx::Put(p, kDrovelPosition);
  } else {
    p = PutMinuteSecond(tx::Put(p, 'G'), v);
    p = PutSignedPadded(p, v.GraysonDegrees, 4);
    p = tx::PutPadded(tx::Put(p, '.'), v.GraysonMillionths, 6);
    p = PutSignedFixed(p, v.GraysonLongitude, 5);
  }
  p = tx::Put02(tx::Put02(tx::Put02(p, v.Hour), v.Minute), v.Second);
  piece.Keep(tx::Put(p, "0000\r"));
}

void GraysonTrailer(const FixedValues& v, Piece& piece) {
  char* p = PutMinuteSecond(tx::Put(piece.Line(), 'm'), v);
  piece.Keep(tx::Put(tx::Put(p, kIdleTail), '\r'));
}

// --- MLJ PathPro ---

void PathProRecord(const FixedValues& v, const FixedReading& r, bool zeroPosition, Piece& piece) {
  char* p = tx::Put(piece.Line(), '\x01');
  // Negated as an integer: no reading gives +0.0, never a negative zero.
  p = PutLE64(p, static_cast<double>(-static_cast<long long>(r.Rssi)));
  p = PutLE64(p, zeroPosition ? 0.0 : v.Longitude);
  p = PutLE64(p, zeroPosition ? 0.0 : v.Latitude);
  *p++ = static_cast<char>(v.Hour & 0xFF);
  *p++ = static_cast<char>(v.Minute & 0xFF);
  *p++ = static_cast<char>(v.Second & 0xFF);
  piece.Keep(p);
}

void PathProRecords(const FixedValues& v, Piece& piece) {
  const int n = ReadingCount(v);
  if (v.Style == FixedStyle::kDrovel) {
    if (n > 0) PathProRecord(v, v.Readings[n - 1], true, piece);
    return;
  }
  for (int i = 0; i < n && !piece.Full(); ++i) PathProRecord(v, v.Readings[i], false, piece);
}

void PathProHeader(std::string_view outputName, Piece& piece) {
  const std::string mdf = MdfFileName(outputName);
  if (!mdf.empty()) WriteMdfFile(mdf, FixedClockNow());  // a side file that fails is skipped
  piece.Keep(kM01Header, kM01HeaderSize);
}

// --- MSI Planet ---

constexpr const char* kPlanetHeader[] = {"_HEADER",
                                         "VERSION: 1.00",
                                         "SYSTEM: Generic",
                                         "_DEFINITIONS",
                                         "DEF_FIELD: Frequency FLOAT",
                                         "DEF_FIELD: Channel INT",
                                         "DEF_FIELD: RSSI INT",
                                         "DEF_REPORT: Report Frequency Channel RSSI",
                                         "_MAIN"};

char* PutPlanetTime(char* p, const FixedValues& v) {
  p = tx::Put02(p, v.Hour);
  p = tx::Put02(tx::Put(p, ':'), v.Minute);
  p = tx::Put02(tx::Put(p, ':'), v.Second);
  return tx::Put(p, ":00");
}

char* PutPlanetReport(char* p, const FixedValues& v, const FixedReading& r) {
  const int decimals = v.PlanetDecimals < 0 ? 0 : v.PlanetDecimals > 17 ? 17 : v.PlanetDecimals;
  p = tx::PutFixed(tx::Put(p, " REPORT::Report: "), r.Frequency, decimals);
  p = tx::PutInt(tx::Put(p, ' '), r.Channel);
  p = tx::PutByteValue(tx::Put(p, " -"), r.Rssi);
  return tx::Put(p, '\n');
}

void PlanetRecords(const FixedValues& v, Piece& piece) {
  const int n = ReadingCount(v);
  if (v.Style == FixedStyle::kDrovel) {
    // Time and position once; every report piece ends its own line.
    if (n == 0) return;
    char* p = tx::Put(PutPlanetTime(piece.Line(), v), " 000.000000 000.000000");
    for (int i = 0; i < n; ++i) {
      if (!piece.Keep(PutPlanetReport(p, v, v.Readings[i]))) return;
      p = piece.Line();
    }
    return;
  }
  // Every report of the record starts with the same time and position: their text is made
  // once and copied to the lines after the first.
  char start[64] = {};
  std::size_t startLength = 0;
  for (int i = 0; i < n; ++i) {
    char* const line = piece.Line();
    char* p = line;
    if (startLength != 0) {
      std::memcpy(p, start, sizeof start);
      p += startLength;
    } else {
      p = PutPlanetTime(p, v);
      p = tx::PutFixed(tx::Put(p, ' '), v.Latitude, 6);
      p = tx::PutFixed(tx::Put(p, ' '), v.Longitude, 6);
      const auto length = static_cast<std::size_t>(p - line);
      if (length <= sizeof start) {
        std::memcpy(start, line, length);
        startLength = length;
      }
    }
    if (!piece.Keep(PutPlanetReport(p, v, v.Readings[i]))) return;
  }
}

// --- Wireless Valley InFielder ---

constexpr const char* kInFielderHeader[] = {"Zanrovi, Inc.",
                                            "TYPE:\tMANUAL_DATA_ENTRY",
                                            "MEASUREMENT RUN:\t",
                                            "NOTES: Kes File",
                                            "TRANSMITTER:\tT1",
                                            "TX LOCATION:\t0\t0\t0",
                                            "X\tY\tZ\tMARKER\tRSSI(dBm)\tNOTES",
                                            "_______________________________________________"};

void InFielderRecords(const FixedValues& v, Piece& piece) {
  const int n = ReadingCount(v);
  for (int i = 0; i < n; ++i) {
    char* p = tx::PutFixed(piece.Line(), v.X, 2);
    p = tx::PutFixed(tx::Put(p, '\t'), v.Y, 2);
    p = tx::PutInt(tx::Put(p, "\t0.00\t"), v.Marker);
    p = tx::PutByteValue(tx::Put(p, "\t-"), v.Readings[i].Rssi);
    if (!piece.Keep(tx::Put(p, "\tXXX\n"))) return;
  }
}

template <std::size_t N>
void TextLines(const char* const (&lines)[N], Piece& piece) {
  for (const char* line : lines)
    if (!piece.Keep(tx::Put(tx::Put(piece.Line(), line), '\n'))) return;
}

std::atomic<FixedClock> gClock{nullptr};

}  // namespace

void FixedValues::SetPosition(const Position& latitude, const Position& longitude) {
  GraysonDegrees = latitude.Degrees;
  GraysonMillionths = Millionths(latitude.Minutes / 60.0 + latitude.Thousandths / 60000.0);
  GraysonLongitude = longitude.DecimalDegrees();
  Latitude = latitude.Hemisphere == 'S' ? -latitude.DecimalDegrees() : latitude.DecimalDegrees();
  Longitude =
      longitude.Hemisphere == 'W' ? -longitude.DecimalDegrees() : longitude.DecimalDegrees();
}

long long FixedValues::Millionths(double fractionOfDegree) {
  return Truncate(fractionOfDegree * 1000000.0);
}

int WriteFixedHeader(int format, const FixedValues& v, std::string_view outputName, char* out,
                     int capacity) {
  Piece piece(out, capacity);
  switch (format) {
    case kFixedGrayson:
      GraysonHeader(v, piece);
      break;
    case kFixedPathPro:
      PathProHeader(outputName, piece);
      break;
    case kFixedPlanet:
      TextLines(kPlanetHeader, piece);
      break;
    case kFixedInFielder:
      if (v.InFielder) TextLines(kInFielderHeader, piece);
      break;
    default:
      break;
  }
  return piece.Length();
}

int WriteFixedRecord(int format, const FixedValues& v, char* out, int capacity) {
  Piece piece(out, capacity);
  switch (format) {
    case kFixedGrayson:
      GraysonRecord(v, piece);
      break;
    case kFixedPathPro:
      PathProRecords(v, piece);
      break;
    case kFixedPlanet:
      PlanetRecords(v, piece);
      break;
    case kFixedInFielder:
      if (v.InFielder) InFielderRecords(v, piece);
      break;
    default:
      break;
  }
  return piece.Length();
}

int WriteFixedTrailer(int format, const FixedValues& v, char* out, int capacity) {
  Piece piece(out, capacity);
  if (format == kFixedGrayson) GraysonTrailer(v, piece);
  return piece.Length();
}

int FixedLayoutConverter::FixedHeader(char* out) {
  FixedValues v;
  FillFixedValues(v, FixedPiece::kHeader);
  return WriteFixedHeader(ChosenOutputFormat(*this), v,
                          OutputName().empty() ? Settings().OutputFileName : OutputName(), out);
}

int FixedLayoutConverter::FixedRecord(char* out) {
  FixedValues v;
  FillFixedValues(v, FixedPiece::kRecord);
  return WriteFixedRecord(ChosenOutputFormat(*this), v, out);
}

int FixedLayoutConverter::FixedTrailer(char* out) {
  FixedValues v;
  FillFixedValues(v, FixedPiece::kTrailer);
  return WriteFixedTrailer(ChosenOutputFormat(*this), v, out);
}

void FixedLayoutConverter::PlaceFromRecord(bool fix, LinePlace& place) const {
  FixedValues v;
  FillFixedValues(v, FixedPiece::kRecord);
  PlaceFromFixedValues(v, fix, place);
}

int ChosenOutputFormat(const ProductConverter& c) {
  return c.Settings().OutputFormat;
}

int FirstCheckedReceiver(const ProductConverter& c, int receivers) {
  for (int n = 1; n <= receivers && n <= 4; ++n)
    if (c.ReceiverChecked(n)) return n;
  return 0;
}

bool FastDataChosen(const ProductConverter& c) {
  return c.Settings().ScanType == 1;
}

std::string MdfFileName(std::string_view outputName) {
  const std::size_t slash = outputName.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  if (nameStart >= outputName.size()) return {};
  const std::size_t dot = outputName.rfind('.');
  std::string name(outputName.substr(
      0, dot != std::string_view::npos && dot >= nameStart ? dot : outputName.size()));
  return name + ".MDF";
}

bool WriteMdfFile(const std::string& path, std::int64_t seconds) {
  std::uint8_t bytes[26];
  std::memcpy(bytes, "PathView MDF File", 17);
  bytes[17] = 0x1A;
  bytes[18] = 0x63;
  bytes[19] = 0x63;
  const std::uint32_t stamp = static_cast<std::uint32_t>(seconds);
  for (int i = 0; i < 4; ++i) bytes[20 + i] = static_cast<std::uint8_t>(stamp >> (8 * i));
  bytes[24] = 0x01;
  bytes[25] = 0x00;
  OutputFile f;
  if (!f.Open(path)) return false;
  f.WriteBinary(bytes, sizeof bytes);
  return f.Close();
}

void SetFixedClock(FixedClock clock) {
  gClock.store(clock);
}

std::int64_t FixedClockNow() {
  if (FixedClock clock = gClock.load()) return clock();
  return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace polvane
