// Output lines as the record loop hands them to a sink, stated in the receiver's terms: the line's
// own fields, then the data group's readings per receiver.
#pragma once

#include <string>
#include <vector>

#include "convert/line_sink.h"

namespace polvane::testing {

class LineBuilder {
 public:
  // A cell of the line itself.
  LineBuilder& Field(std::string title, CellKind kind, std::string text) {
    return Add(std::move(title), kind, std::move(text), 0, 0);
  }
  // One reading of a receiver's data group: frequency and RSSI, titled as the Tarvik titles line
  // writes them ("Rec#1 Frequency", past the titles "Rec#1 Frequency 2").
  LineBuilder& Reading(std::uint8_t receiver, std::uint16_t reading, std::string frequency,
                       std::string rssi) {
    const std::string prefix = "Rec#" + std::to_string(receiver) + " ";
    const std::string suffix = reading > 1 ? " " + std::to_string(reading) : "";
    Add(prefix + "Frequency" + suffix, CellKind::Real, std::move(frequency), receiver, reading);
    return Add(prefix + "RSSI" + suffix, CellKind::Integer, std::move(rssi), receiver, reading);
  }
  LineBuilder& Add(std::string title, CellKind kind, std::string text, std::uint8_t receiver,
                   std::uint16_t reading) {
    titles_.push_back(std::move(title));
    texts_.push_back(std::move(text));
    cells_.push_back(Cell{{}, kind, {}, receiver, reading});
    return *this;
  }
  LineBuilder& At(double latitude, double longitude) {
    place_.HasPosition = true;
    place_.Latitude = latitude;
    place_.Longitude = longitude;
    return *this;
  }
  LineBuilder& When(unsigned year, unsigned month, unsigned day, double gpsSeconds) {
    place_.HasDate = true;
    place_.Year = static_cast<std::uint16_t>(year);
    place_.Month = static_cast<std::uint8_t>(month);
    place_.Day = static_cast<std::uint8_t>(day);
    place_.HasTime = true;
    place_.GpsSeconds = gpsSeconds;
    return *this;
  }
  LineBuilder& InSection(std::uint32_t section) {
    place_.Section = section;
    return *this;
  }
  // The Layout the record loop would give the line: the same for lines of the same cells.
  LineBuilder& OfLayout(std::uint64_t layout) {
    layout_ = layout;
    return *this;
  }
  // The line, its cells viewing this builder's texts (valid while the builder is unchanged).
  Line Get() const {
    for (std::size_t i = 0; i < cells_.size(); ++i) {
      cells_[i].Title = titles_[i];
      cells_[i].Text = texts_[i];
    }
    Line line;
    line.Cells = cells_;
    line.Place = place_;
    line.Layout = layout_;
    return line;
  }
  operator Line() const { return Get(); }

 private:
  std::vector<std::string> titles_, texts_;
  mutable std::vector<Cell> cells_;
  LinePlace place_;
  std::uint64_t layout_ = 0;
};

}  // namespace polvane::testing
