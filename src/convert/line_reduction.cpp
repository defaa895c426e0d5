#include "convert/line_reduction.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "convert/table_shape.h"

namespace polvane {

namespace {

constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool Threshold::Meets(double v) const {
  switch (Compare) {
    case Comparator::Greater:
      return v > Value;
    case Comparator::GreaterEqual:
      return v >= Value;
    case Comparator::Equal:
      return v == Value;
    case Comparator::LessEqual:
      return v <= Value;
    case Comparator::Less:
      return v < Value;
  }
  return false;
}

bool ParseNumber(std::string_view text, double& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && p == end && std::isfinite(out);
}

bool MakeThreshold(std::string_view field, std::string_view comparator, std::string_view value,
                   Threshold& out, std::string& why) {
  field = Trim(field);
  comparator = Trim(comparator);
  Threshold t;
  if (SameWord(field, "RSSI")) {
    t.Field = ThresholdField::Rssi;
  } else if (SameWord(field, "Velocity")) {
    t.Field = ThresholdField::Velocity;
  } else {
    why = "the field is RSSI or Velocity, not \"" + std::string(field) + "\"";
    return false;
  }
  bool known = false;
  for (int i = 0; i < 5; ++i)
    if (comparator == kComparatorTexts[i]) {
      t.Compare = static_cast<Comparator>(i);
      known = true;
    }
  if (!known) {
    why = "the comparator is one of >, >=, =, <=, <, not \"" + std::string(comparator) + "\"";
    return false;
  }
  if (!ParseNumber(value, t.Value)) {
    why = "the value is a number, not \"" + std::string(Trim(value)) + "\"";
    return false;
  }
  out = t;
  return true;
}

bool ParseThreshold(std::string_view text, Threshold& out, std::string& why) {
  const std::size_t op = text.find_first_of("<>=");
  if (op == std::string_view::npos) {
    why = "FIELD COMPARATOR VALUE, as RSSI>-90 or Velocity<=30";
    return false;
  }
  std::size_t end = op + 1;
  if (end < text.size() && text[end] == '=' && text[op] != '=') ++end;
  return MakeThreshold(text.substr(0, op), text.substr(op, end - op), text.substr(end), out, why);
}

bool ParseTraffic(std::string_view text, TrafficFilter& out, std::string& why) {
  why = "D[deg|min],T: a distance above 0 in degrees or minutes and a span of seconds above 0";
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  std::string_view distance = Trim(text.substr(0, comma));
  TrafficFilter t;
  t.On = true;
  for (const char* unit : {"deg", "min"}) {
    const std::size_t n = std::strlen(unit);
    if (distance.size() > n && distance.substr(distance.size() - n) == unit) {
      distance.remove_suffix(n);
      t.Minutes = unit[0] == 'm';
    }
  }
  if (!ParseNumber(distance, t.Distance) || !(t.Distance > 0)) return false;
  t.Degrees = t.Minutes ? t.Distance / 60 : t.Distance;
  if (!ParseNumber(text.substr(comma + 1), t.Seconds) || !(t.Seconds > 0)) return false;
  out = t;
  why.clear();
  return true;
}

double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2) {
  const double r = kPi / 180;
  const double dLat = (lat2 - lat1) * r, dLon = (lon2 - lon1) * r;
  const double a =
      std::sin(dLat / 2) * std::sin(dLat / 2) +
      std::cos(lat1 * r) * std::cos(lat2 * r) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadiusMetres * std::asin(std::sqrt(std::fmin(1.0, a)));
}

bool RssiCell(const Cell& cell) {
  if (cell.Receiver == 0 || cell.Text.empty()) return false;
  const std::string_view t = ReadingTitle(cell.Title, cell.Receiver, cell.Reading);
  return t.size() >= 4 && t.substr(0, 4) == "RSSI";
}

bool CellLevel(const Cell& cell, int& level) {
  if (!RssiCell(cell)) return false;
  const char* end = cell.Text.data() + cell.Text.size();
  const auto [p, ec] = std::from_chars(cell.Text.data(), end, level);
  return ec == std::errc() && p == end;
}

LineReducer::LineReducer() {
  slots_.reserve(512);
  texts_.reserve(256 * 16);
}

LineReducer::Slot* LineReducer::Find(std::span<const Cell> cells, std::size_t i, bool add) {
  const Cell& cell = cells[i];
  std::size_t first = i;
  while (first > 0 && cells[first - 1].Receiver == cell.Receiver &&
         cells[first - 1].Reading == cell.Reading)
    --first;
  char column[24];
  std::string_view ident;
  if (first != i) {
    ident = cells[first].Text.substr(0, sizeof(Slot::Ident));
  } else {
    column[0] = '#';
    ident = std::string_view(column, std::to_chars(column + 1, column + sizeof column, i).ptr);
  }
  auto same = [&](const Slot& s) {
    return s.Receiver == cell.Receiver && std::string_view(s.Ident, s.Length) == ident;
  };
  if (hint_ < slots_.size() && same(slots_[hint_])) return &slots_[hint_++];
  for (std::size_t k = 0; k < slots_.size(); ++k)
    if (same(slots_[k])) {
      hint_ = k + 1;
      return &slots_[k];
    }
  if (!add) return nullptr;
  Slot s{};
  s.Receiver = cell.Receiver;
  s.Length = static_cast<std::uint8_t>(ident.size());
  std::memcpy(s.Ident, ident.data(), ident.size());
  slots_.push_back(s);
  hint_ = slots_.size();
  return &slots_.back();
}

void LineReducer::Begin(const LineReduction& reduction) {
  r_ = reduction;
  anchored_ = stopped_ = havePrevious_ = false;
  driven_ = 0;
  passed_ = 0;
  slots_.clear();
  hint_ = 0;
}

bool LineReducer::MeetsThreshold(std::span<const Cell> cells, const LinePlace& place) const {
  switch (r_.Limit.Field) {
    case ThresholdField::None:
      return true;
    case ThresholdField::Velocity:
      return place.HasSpeed && r_.Limit.Meets(place.SpeedMph);
    case ThresholdField::Rssi: {
      bool any = false;
      int best = 0;
      for (const Cell& c : cells) {
        int level = 0;
        if (!CellLevel(c, level)) continue;
        if (!any || level > best) best = level;
        any = true;
      }
      return any && r_.Limit.Meets(best);
    }
  }
  return true;
}

bool LineReducer::PassTraffic(const LinePlace& place) {
  if (!r_.Traffic.On) return true;
  if (!place.HasPosition || !place.HasTime) return !stopped_;
  if (!anchored_) {
    anchored_ = true;
    anchorLat_ = place.Latitude;
    anchorLon_ = place.Longitude;
    anchorTime_ = place.GpsSeconds;
    return true;
  }
  const double dLat = place.Latitude - anchorLat_, dLon = place.Longitude - anchorLon_;
  if (std::sqrt(dLat * dLat + dLon * dLon) >= r_.Traffic.Degrees) {
    anchorLat_ = place.Latitude;
    anchorLon_ = place.Longitude;
    anchorTime_ = place.GpsSeconds;
    stopped_ = false;
    return true;
  }
  double elapsed = place.GpsSeconds - anchorTime_;
  if (elapsed < 0) elapsed += 86400;  // past midnight of the GPS day
  if (elapsed > r_.Traffic.Seconds) stopped_ = true;
  return !stopped_;
}

bool LineReducer::PassMetres(std::span<Cell> cells, const LinePlace& place) {
  if (!(r_.PerMetres > 0)) return true;
  hint_ = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    int level = 0;
    if (!CellLevel(cells[i], level)) continue;
    Slot* s = Find(cells, i, true);
    s->Sum += level;
    ++s->Count;
  }
  if (!place.HasPosition) return false;
  if (havePrevious_)
    driven_ += GreatCircleMetres(previousLat_, previousLon_, place.Latitude, place.Longitude);
  havePrevious_ = true;
  previousLat_ = place.Latitude;
  previousLon_ = place.Longitude;
  const double multiples = std::floor(driven_ / r_.PerMetres);
  if (multiples < static_cast<double>(passed_ + 1)) return false;
  passed_ = static_cast<std::uint64_t>(multiples);

  // The line of the record that passed the mark, with the stretch's mean levels.
  constexpr std::size_t kWidth = 16;
  if (texts_.size() < cells.size() * kWidth) texts_.resize(cells.size() * kWidth);
  hint_ = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!RssiCell(cells[i])) continue;
    const Slot* s = Find(cells, i, false);
    if (!s || s->Count == 0) continue;
    const double mean = s->Sum / s->Count;
    const long long rounded = std::llround(mean);
    char* out = texts_.data() + i * kWidth;
    char* p = out;
    // The readers write levels as "-" and the magnitude; a mean that rounds to 0 stays "-0"
    // when the line's own level was written so.
    if (rounded == 0 && cells[i].Text.front() == '-') *p++ = '-';
    p = std::to_chars(p, out + kWidth, rounded).ptr;
    cells[i].Text = std::string_view(out, static_cast<std::size_t>(p - out));
  }
  slots_.clear();
  hint_ = 0;
  return true;
}

bool LineReducer::PassRecord(const LinePlace& place) {
  if (r_.Limit.Field == ThresholdField::Velocity && !MeetsThreshold({}, place)) return false;
  return PassTraffic(place);
}

bool LineReducer::Pass(std::span<Cell> cells, const LinePlace& place) {
  if (!MeetsThreshold(cells, place)) return false;
  if (!PassTraffic(place)) return false;
  return PassMetres(cells, place);
}

}  // namespace polvane
