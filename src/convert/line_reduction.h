// The reductions that act on the lines of a conversion after the reader made them, the same for
// every line sink (the delimited output, the GIS layers, the data frames):
//
// - threshold: a line is written only when its value of the chosen field meets the criterion.
//   RSSI is judged by the line's strongest reading (the highest level in dBm among its RSSI
//   cells), so "RSSI > -90" keeps the lines on which anything was heard above -90 dBm and
//   "RSSI < -100" keeps the lines on which even the strongest reading stays below -100 dBm. The
//   line's cells are written unchanged. Velocity is the GPS speed of the record in miles per
//   hour, the unit of "GPS Velocity (MPH)". A line without a value of the field (no RSSI
//   reading, no GPS speed) does not meet the criterion.
// - traffic: a stationary filter over the positions and GPS times of the lines. While the
//   vehicle has not travelled D degrees (the straight distance between the coordinates in
//   decimal degrees; D minutes are D/60 degrees) from the last place it was moving at within T
//   seconds of GPS time, the lines are dropped until it has travelled D from that place. The
//   first T seconds of a stop are written: they cannot be told from slow driving until the T
//   seconds have passed.
// - one line per N metres: the distance driven is the sum of the great-circle distances
//   between successive fixes (a sphere of 6,371,008.8 m, the mean radius of the Earth). A line
//   is written each time that distance passes the next multiple of N metres; it is the line of
//   the record that passed it, its position and time, with each RSSI cell holding the mean
//   level of that reading over every line of the stretch since the previous written line, this
//   one included. A reading is the same when its receiver and its frequency (or, without the
//   frequency column, its channel) are; a data group with only RSSI columns matches by column.
//   Levels are averaged in dB (the arithmetic mean of the dBm values, as "1 Rec per N second(s)"
//   averages the stored levels), rounded to the nearest whole dB. Lines without a position join the
//   stretch they fall in. What is driven after the last multiple of N is not written.
//
// They apply in that order: the threshold first (a line below the noise floor does not enter
// an average), then traffic, then the metres.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/line_sink.h"

namespace polvane {

enum class ThresholdField : std::uint8_t { None, Rssi, Velocity };
enum class Comparator : std::uint8_t { Greater, GreaterEqual, Equal, LessEqual, Less };

// The comparators as the threshold dialog lists them: ">", ">=", "=", "<=", "<".
inline constexpr const char* kComparatorTexts[] = {">", ">=", "=", "<=", "<"};
// The fields as the threshold dialog lists them.
inline constexpr const char* kThresholdFieldTexts[] = {"RSSI", "Velocity"};

struct Threshold {
  ThresholdField Field = ThresholdField::None;
  Comparator Compare = Comparator::Greater;
  double Value = 0;
  bool Meets(double v) const;
};

struct TrafficFilter {
  bool On = false;
  double Degrees = 0;  // the distance D, in degrees
  double Seconds = 0;  // the span T
  // D as given, and whether it was given in minutes.
  double Distance = 0;
  bool Minutes = false;
};

struct LineReduction {
  Threshold Limit;
  TrafficFilter Traffic;
  double PerMetres = 0;  // one line per N metres; 0 off
  bool Active() const { return Limit.Field != ThresholdField::None || Traffic.On || PerMetres > 0; }
  // Whether the reduction looks at the RSSI cells of the lines (and so needs their titles).
  bool NeedsLevels() const { return Limit.Field == ThresholdField::Rssi || PerMetres > 0; }
};

// "RSSI>-90", "Velocity<=30" (blanks allowed around the parts; the field's case is free).
// False with `why` set when the text is not such a criterion.
bool ParseThreshold(std::string_view text, Threshold& out, std::string& why);
// A field and comparator as the dialog lists them, and a number; false when one is unknown.
bool MakeThreshold(std::string_view field, std::string_view comparator, std::string_view value,
                   Threshold& out, std::string& why);
// "D[deg|min],T": a distance above 0 in degrees (the default) or minutes, and a span of
// seconds above 0.
bool ParseTraffic(std::string_view text, TrafficFilter& out, std::string& why);
// A decimal number as a whole (blanks around it aside), under any locale.
bool ParseNumber(std::string_view text, double& out);

// Great-circle distance in metres between two positions in decimal degrees.
double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2);

// The running state of the reductions over the lines of one file. It allocates only when a
// line is wider than every line before it.
class LineReducer {
 public:
  LineReducer();
  // Starts a file.
  void Begin(const LineReduction& reduction);
  bool Active() const { return r_.Active(); }
  bool NeedsLevels() const { return r_.NeedsLevels(); }
  // Whether `line` is written. Its cells may be changed (the averaged levels point into the
  // reducer, valid until the next call).
  bool Pass(std::span<Cell> cells, const LinePlace& place);
  // Whether a record of a fixed layout is written: the Velocity threshold and traffic apply
  // (the layouts' levels are not cells; the window refuses the RSSI threshold and the metres
  // for them).
  bool PassRecord(const LinePlace& place);

 private:
  bool MeetsThreshold(std::span<const Cell> cells, const LinePlace& place) const;
  bool PassTraffic(const LinePlace& place);
  bool PassMetres(std::span<Cell> cells, const LinePlace& place);

  LineReduction r_;
  // Traffic: where and when the vehicle was last moving, and whether it is taken as stopped.
  bool anchored_ = false, stopped_ = false;
  double anchorLat_ = 0, anchorLon_ = 0, anchorTime_ = 0;
  // Metres: the last fix, the distance driven, and the multiples of N passed.
  bool havePrevious_ = false;
  double previousLat_ = 0, previousLon_ = 0, driven_ = 0;
  std::uint64_t passed_ = 0;
  // The stretch's sums of the levels per reading: a reading is known by its receiver and the
  // text of its first cell (its frequency or channel), or by its column when it has only RSSI.
  struct Slot {
    std::uint8_t Receiver;
    std::uint8_t Length;
    char Ident[30];
    double Sum;
    std::uint32_t Count;
  };
  Slot* Find(std::span<const Cell> cells, std::size_t i, bool add);
  std::vector<Slot> slots_;
  std::size_t hint_ = 0;
  std::vector<char> texts_;
};

// Whether a cell is an RSSI reading of the data group, and its level in dBm.
bool RssiCell(const Cell& cell);
bool CellLevel(const Cell& cell, int& level);

}  // namespace polvane
