// The lines of a drive as the map and the signal chart show them: each line's position, time,
// section and levels, gathered by a line sink from a conversion with the window's settings.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/signal_colors.h"
#include "ui/line_pass.h"

namespace polvane {

struct DriveLine {
  bool HasPosition = false;
  double Latitude = 0, Longitude = 0;
  bool HasTime = false;
  double Seconds = 0;  // GPS seconds of the day, run on past midnight
  std::uint32_t Section = 0;
  std::uint64_t Record = 0;
  std::uint32_t Line = 0;  // the line's number among the data lines of the output, from 1
  // The strongest RSSI of the line and of each receiver's readings; NaN where there is none.
  float Strongest = NAN;
  std::array<float, 4> Levels{NAN, NAN, NAN, NAN};
  std::uint32_t TitleSet = 0;  // which titles line the cells go under
  std::string Cells;           // the cells' texts, separated by '\t'
  bool HasLevel() const { return !std::isnan(Strongest); }
};

struct DriveTrack {
  std::vector<DriveLine> Lines;
  std::vector<std::vector<std::string>> TitleSets;
  bool Truncated = false;  // the drive had more lines than the views keep
  // The receivers (1..4) with a reading somewhere.
  std::array<bool, 4> Receivers{};
  // The text a hover shows for a line: its number, record and section, then title: value.
  std::string Describe(const DriveLine& line) const;
};

// Collects a drive for the map and the chart, up to `limit` lines.
class DriveSink : public CollectingSink {
 public:
  static constexpr std::size_t kDefaultLimit = 250000;
  explicit DriveSink(std::size_t limit = kDefaultLimit) : limit_(limit) {}
  bool Full() const override { return track_.Truncated; }
  void Titles(const Line& titles) override;
  void Write(const Line& line) override;
  DriveTrack& Track() { return track_; }

 private:
  std::size_t limit_;
  DriveTrack track_;
  double lastSeconds_ = -1, dayOffset_ = 0;
};

}  // namespace polvane
