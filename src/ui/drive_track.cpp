#include "ui/drive_track.h"

#include <algorithm>

#include "convert/line_reduction.h"

namespace polvane {

std::string DriveTrack::Describe(const DriveLine& line) const {
  std::string s = "Line " + std::to_string(line.Line);
  if (line.Record) s += ", record " + std::to_string(line.Record);
  if (line.Section) s += ", section " + std::to_string(line.Section);
  const std::vector<std::string>* titles =
      line.TitleSet < TitleSets.size() ? &TitleSets[line.TitleSet] : nullptr;
  std::size_t begin = 0, cell = 0;
  // A line of many readings shows its first cells.
  while (begin <= line.Cells.size() && cell < 24) {
    std::size_t end = line.Cells.find('\t', begin);
    if (end == std::string::npos) end = line.Cells.size();
    s += '\n';
    if (titles && cell < titles->size()) s += (*titles)[cell] + ": ";
    s.append(line.Cells, begin, end - begin);
    begin = end + 1;
    ++cell;
  }
  if (begin <= line.Cells.size()) s += "\n...";
  return s;
}

void DriveSink::Titles(const Line& titles) {
  std::vector<std::string> set;
  for (const Cell& c : titles.Cells) set.emplace_back(c.Title);
  if (track_.TitleSets.empty() || track_.TitleSets.back() != set)
    track_.TitleSets.push_back(std::move(set));
}

void DriveSink::Write(const Line& line) {
  if (track_.Lines.size() >= limit_) {
    track_.Truncated = true;
    return;
  }
  DriveLine& d = track_.Lines.emplace_back();
  d.Line = static_cast<std::uint32_t>(track_.Lines.size());
  const LinePlace& p = line.Place;
  d.HasPosition = p.HasPosition && std::isfinite(p.Latitude) && std::isfinite(p.Longitude) &&
                  std::fabs(p.Latitude) <= 85 && std::fabs(p.Longitude) <= 180 &&
                  !(p.Latitude == 0 && p.Longitude == 0);
  d.Latitude = p.Latitude;
  d.Longitude = p.Longitude;
  d.HasTime = p.HasTime;
  if (p.HasTime) {
    // Times of the day run on past midnight, so the chart's axis keeps going forward.
    if (lastSeconds_ >= 0 && p.GpsSeconds + 43200 < lastSeconds_) dayOffset_ += 86400;
    lastSeconds_ = p.GpsSeconds;
    d.Seconds = p.GpsSeconds + dayOffset_;
  }
  d.Section = p.Section;
  d.Record = p.Record;
  d.TitleSet =
      track_.TitleSets.empty() ? 0 : static_cast<std::uint32_t>(track_.TitleSets.size() - 1);
  for (std::size_t i = 0; i < line.Cells.size(); ++i) {
    const Cell& c = line.Cells[i];
    if (i) d.Cells += '\t';
    d.Cells.append(c.Text);
    int level = 0;
    if (c.Receiver >= 1 && c.Receiver <= 4 && CellLevel(c, level)) {
      float& r = d.Levels[c.Receiver - 1];
      if (std::isnan(r) || level > r) r = static_cast<float>(level);
      if (std::isnan(d.Strongest) || level > d.Strongest) d.Strongest = static_cast<float>(level);
      track_.Receivers[c.Receiver - 1] = true;
    }
  }
}

}  // namespace polvane
