// The fixed layouts of the post-processing applications, written once for every receiver
// product: Grayson IQ Analyzer, MLJ PathPro (M01 records and the MDF side file), MSI Planet and
// Wireless Valley InFielder.
//
// A reader derives from FixedLayoutConverter and describes the record just decoded in a
// FixedValues through its one hook, FillFixedValues; the converter's FixedHeader, FixedRecord and
// FixedTrailer hand the values to the writer of the same name (see TarvikConverter):
//
//   void TarvikConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
//     v.Year = Header[7];  v.Month = Header[6];  v.Day = Header[5];    // receiver clock
//     v.Hour = GpsHour;  v.Minute = GpsMinute;  v.Second = GpsSecond;  // GPS time
//     v.SetPosition(Latitude, Longitude);
//     const int n = FirstCheckedReceiver(*this);
//     if (n != 0 && FastDataChosen(*this))
//       v.SetReading(FastFrequency(n), ReadLE16(FastBlocks[n - 1], 0), FastRssi(n));
//   }
//
// The fill serves the header (called just before the first record line of the run, so it
// carries that record), each record line and the trailer (the last record decoded); the piece
// says which, for the products whose header and trailer describe another moment than the line.
//
// The writers choose the layout from the output format of the run's settings (c.Settings()),
// write into the caller's 16384-byte piece buffer, always zero-terminated (the record loop
// writes a text header by its zero-terminated length), and return the number of bytes of the
// piece, the terminator not counted. Any other list item writes nothing and returns 0.
// Text pieces use "\n" for the line feeds that the output file turns into CR LF; the Grayson
// lines end in a lone "\r", which reaches the file unchanged. The PathPro pieces are binary
// (the record loop writes them byte for byte by the returned length).
//
// Every number is written in full, however wide (a frequency of 10,000 MHz gives ten digits in
// the "r" line). A piece is assembled line by line and a line is added only when it fits in
// the buffer, so nothing is ever clipped inside a line or written past the buffer; the lines of
// a record with very many readings that no longer fit are left out.
#pragma once

#include "convert/line_sink.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/position.h"
#include "convert/product_converter.h"

namespace polvane {

// Items of the output-format list that have a fixed layout.
enum FixedFormat : int {
  kFixedGrayson = 3,
  kFixedPathPro = 6,
  kFixedPlanet = 7,
  kFixedInFielder = 12,
};

// Readings one record can hand over: a Kes PC-dump record carries at most 255 channels.
inline constexpr int kMaxFixedReadings = 256;

// One measurement of a record. Left uninitialised on purpose: FixedValues is built once per
// output line, and only the readings below ReadingCount are ever read (SetReading, AddReading).
struct FixedReading {
  double Frequency;  // MHz
  int Channel;       // the channel number the Planet report carries (Tarvik: the raw one)
  int Rssi;          // level magnitude in dBm: "r" line as is, "-%d" in Planet and InFielder,
                     // negated in the PathPro record
};

// How a product's copy of the layouts differs from the reference (Tarvik) writers.
enum class FixedStyle {
  // One "r" line per reading then one "G" line; one PathPro record and one complete Planet
  // line (time, position, report) per reading. With one reading this is the Tarvik layout;
  // with several it is the Kes PC-dump layout.
  kStandard,
  // A receiver without GPS (Drovel). The "D" line carries the clock hour only ("D000000000%02d")
  // and the "G" line zeros and the clock time; Planet writes the time and the zero position
  // " 000.000000 000.000000" once and then one report piece per reading, each ending its own
  // line; PathPro writes one record with the RSSI of the last reading, zero latitude and
  // longitude, and the clock time.
  kDrovel,
};

// The values of one record as the layouts need them. The reader fills it after ParseRecord
// decoded the record (for the header: the first record to be written; for the trailer: the
// last record decoded) and passes it to the writers, which keep no reference to it.
struct FixedValues {
  FixedValues() { Readings[0] = {0, 0, 0}; }

  // Date, from the receiver clock; Year has the two digits as stored: the "D" line writes it
  // with four (FourDigitYear).
  int Year = 0, Month = 0, Day = 0;
  // Time of the record: GPS time where the product has it, otherwise the receiver clock.
  // Written by every layout ("m", "r", "G" lines, Planet time, PathPro bytes 25 to 27).
  int Hour = 0, Minute = 0, Second = 0;

  // Grayson "G" line position, "%+04d.%06ld%+03.5f": latitude degrees, the latitude's
  // fraction of a degree in millionths, and the longitude in decimal degrees. Most products
  // write both as magnitudes (SetPosition); Pelmor writes the signed longitude, Tarvik extended
  // computes the fraction from minutes and seconds (Millionths).
  int GraysonDegrees = 0;
  long long GraysonMillionths = 0;
  double GraysonLongitude = 0;
  // Planet and PathPro position: signed decimal degrees, negative south and west.
  double Latitude = 0, Longitude = 0;

  // The readings, in channel order. The default is one empty reading (0 MHz, channel 0,
  // RSSI 0): what the single-reading products write when they have no reading.
  FixedReading Readings[kMaxFixedReadings];
  int ReadingCount = 1;

  // InFielder columns (Kes readers): X, Y and MARKER; each reading gives one line with its RSSI.
  double X = 0, Y = 0;
  int Marker = 0;

  // Product variants.
  FixedStyle Style = FixedStyle::kStandard;
  int PlanetDecimals = 4;  // digits of the Planet report frequency (Pelmor: 5)
  bool InFielder = false;  // the product writes the InFielder layout (the Kes readers only)

  // Position from degrees, minutes and thousandths of a minute with hemispheres ("N"/"S",
  // "E"/"W"), the Tarvik rule: the "G" line takes the latitude degrees, trunc((minutes/60 +
  // thousandths/60000) x 1,000,000) and the longitude's decimal degrees, all as magnitudes;
  // Latitude is negative for "S", Longitude for "W" (any other character counts as N or E).
  void SetPosition(const Position& latitude, const Position& longitude);
  void SetDate(int year, int month, int day) {
    Year = year;
    Month = month;
    Day = day;
  }
  void SetTime(int hour, int minute, int second) {
    Hour = hour;
    Minute = minute;
    Second = second;
  }
  // Exactly one reading.
  void SetReading(double frequency, int channel, int rssi) {
    Readings[0] = {frequency, channel, rssi};
    ReadingCount = 1;
  }
  // No readings at all (a Kes PC-dump record without channels): no "r" lines, Planet lines,
  // PathPro records or InFielder lines; the "G" line is still written.
  void ClearReadings() { ReadingCount = 0; }
  // Appends a reading after ClearReadings; false (and nothing added) when the array is full.
  bool AddReading(double frequency, int channel, int rssi) {
    if (ReadingCount < 0 || ReadingCount >= kMaxFixedReadings) return false;
    Readings[ReadingCount++] = {frequency, channel, rssi};
    return true;
  }

  // trunc(fractionOfDegree x 1,000,000), the "G" line's fraction; huge or undefined values
  // are held at the limits of the type instead of overflowing.
  static long long Millionths(double fractionOfDegree);
};

// --- The writers ------------------------------------------------------------------------------

// FixedHeader: Grayson "D" and "m ... RCRD" lines; PathPro writes the MDF side file (named
// after outputName, see MdfFileName) and returns the 19-byte M01 header; the Planet
// definitions; the InFielder header (when v.InFielder).
int WriteFixedHeader(int format, const FixedValues& v, std::string_view outputName, char* out,
                     int capacity = kFixedBufferSize);
// FixedRecord: Grayson "r" lines and the "G" line; 28 bytes per PathPro record; Planet lines;
// InFielder lines (when v.InFielder).
int WriteFixedRecord(int format, const FixedValues& v, char* out, int capacity = kFixedBufferSize);
// FixedTrailer: the Grayson "m ... IDLE" line; nothing for the other layouts.
int WriteFixedTrailer(int format, const FixedValues& v, char* out, int capacity = kFixedBufferSize);

// --- What the readers ask the run's settings ---------------------------------------------------

// The output-format item of the run's settings.
int ChosenOutputFormat(const ProductConverter& c);
// The reading receiver: the first of receivers 1 to `receivers` whose box is checked, 0 when
// none is (Pelmor considers receivers 1 and 2 only).
int FirstCheckedReceiver(const ProductConverter& c, int receivers = 4);
// Scan Type is "Fast Data" (the Tarvik and Selvor writers take a reading only then).
bool FastDataChosen(const ProductConverter& c);

// --- Pieces -----------------------------------------------------------------------------------

// Two-digit years up to 90 are 2000 + YY, later ones 1900 + YY (90 gives 2090, 91 gives 1991).
inline int FourDigitYear(int year) {
  return year <= 90 ? 2000 + year : 1900 + year;
}

// The MDF side file of a PathPro output: the name cut at the last "." of its file-name part
// (a dot in a folder name does not count), plus ".MDF". OUT gives OUT.MDF, out.m01 gives
// out.MDF. An empty name, or one that names a folder, gives "" (no side file).
std::string MdfFileName(std::string_view outputName);
// Creates or truncates path and writes the 26-byte MDF file stamped with `seconds` since
// 1 January 1970 UTC (32 bits, little-endian). False when the file cannot be written.
bool WriteMdfFile(const std::string& path, std::int64_t seconds);

// The clock of the MDF stamp: the system clock unless a test sets another (nullptr restores it).
using FixedClock = std::int64_t (*)();
void SetFixedClock(FixedClock clock);
std::int64_t FixedClockNow();

// The place of a line from the values a reader gives its fixed layouts: the signed decimal
// position (a fix at 0, 0 is no fix), the time of the record and the receiver-clock date.
// The seconds of a time of day of the layouts' values; false (and 0) when it is not one.
inline bool SecondsOfDay(int hour, int minute, int second, double& seconds) {
  const bool valid =
      hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 61;
  seconds = valid ? hour * 3600.0 + minute * 60.0 + second : 0;
  return valid;
}

// The same in whole seconds (ProductConverter::RecordTime).
inline bool WholeSecondsOfDay(int hour, int minute, int second, std::uint32_t& seconds) {
  const bool valid =
      hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 61;
  seconds = valid ? static_cast<std::uint32_t>(hour * 3600 + minute * 60 + second) : 0;
  return valid;
}

inline void PlaceFromFixedValues(const FixedValues& v, bool fix, LinePlace& place) {
  place.HasPosition = fix && !(v.Latitude == 0 && v.Longitude == 0);
  place.Latitude = v.Latitude;
  place.Longitude = v.Longitude;
  place.HasTime = SecondsOfDay(v.Hour, v.Minute, v.Second, place.GpsSeconds);
  place.HasDate = v.Month >= 1 && v.Month <= 12 && v.Day >= 1 && v.Day <= 31 && v.Year >= 0;
  if (place.HasDate) {
    place.Year = static_cast<std::uint16_t>(v.Year < 100 ? 2000 + v.Year : v.Year);
    place.Month = static_cast<std::uint8_t>(v.Month);
    place.Day = static_cast<std::uint8_t>(v.Day);
  }
}

// Which piece of a fixed layout a reader's values are for.
enum class FixedPiece { kHeader, kRecord, kTrailer };

// The reader base of the products that write the fixed layouts. Each piece takes the layout
// from the output format of the run's settings and, for the header, the name of the output
// being written (the converter's OutputName, else the output name of the settings).
class FixedLayoutConverter : public ProductConverter {
 public:
  using ProductConverter::ProductConverter;

  int FixedHeader(char* out) final;
  int FixedRecord(char* out) final;
  int FixedTrailer(char* out) final;

 protected:
  // The values of the layouts for `piece`: the first record to be written for the header, the
  // line being written for a record, the last record decoded for the trailer.
  virtual void FillFixedValues(FixedValues& v, FixedPiece piece) const = 0;
  // The place of the line being written, from its record values (PlaceFromFixedValues).
  void PlaceFromRecord(bool fix, LinePlace& place) const;
};

}  // namespace polvane
