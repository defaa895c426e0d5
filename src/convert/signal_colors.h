// The colours of a drive by signal level: the bands of the KML output and of the window's map.
// The usual drive-test bands are the defaults: at or above -70 dBm green, -70 to -85 yellow,
// -85 to -100 orange, below -100 red. The user sets the thresholds (command line
// `--color-thresholds -70,-85,-100`, a dialog in the window); with other than three thresholds
// the bands run from green to red in even steps of hue.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace polvane {

struct Rgb {
  std::uint8_t Red = 0, Green = 0, Blue = 0;
  bool operator==(const Rgb&) const = default;
};

class SignalColors {
 public:
  static constexpr std::size_t kMaxThresholds = 8;

  SignalColors() : thresholds_{-70, -85, -100} {}

  // Thresholds in dBm, separated by commas, in any order, all different: "-70,-85,-100". False
  // (and the reason in error) when the text is not such a list.
  static bool Parse(std::string_view text, SignalColors& out, std::string* error = nullptr) {
    std::vector<double> values;
    while (true) {
      const std::size_t comma = text.find(',');
      std::string_view piece = text.substr(0, comma);
      while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
      while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
      double v = 0;
      auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
      if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size() ||
          !std::isfinite(v)) {
        if (error) *error = "not a number: \"" + std::string(piece) + "\"";
        return false;
      }
      values.push_back(v);
      if (comma == std::string_view::npos) break;
      text.remove_prefix(comma + 1);
    }
    if (values.size() > kMaxThresholds) {
      if (error) *error = "at most " + std::to_string(kMaxThresholds) + " thresholds";
      return false;
    }
    std::sort(values.begin(), values.end(), [](double a, double b) { return a > b; });
    if (std::adjacent_find(values.begin(), values.end()) != values.end()) {
      if (error) *error = "a threshold is given twice";
      return false;
    }
    out.thresholds_ = std::move(values);
    return true;
  }

  // Strongest first.
  const std::vector<double>& Thresholds() const { return thresholds_; }
  std::string Text() const {
    std::string s;
    for (double t : thresholds_) {
      if (!s.empty()) s += ',';
      s += Number(t);
    }
    return s;
  }

  std::size_t BandCount() const { return thresholds_.size() + 1; }

  // The band of a level: 0 for the strongest (at or above the first threshold).
  std::size_t Band(double dbm) const {
    std::size_t band = 0;
    while (band < thresholds_.size() && dbm < thresholds_[band]) ++band;
    return band;
  }

  Rgb Color(std::size_t band) const {
    const std::size_t last = thresholds_.size();
    if (band > last) band = last;
    if (last == 3) {
      static constexpr Rgb kDriveTest[] = {{0, 255, 0}, {255, 255, 0}, {255, 128, 0}, {255, 0, 0}};
      return kDriveTest[band];
    }
    const double hue = last == 0 ? 120.0 : 120.0 * (1.0 - double(band) / double(last));
    return FromHue(hue);
  }

  // The legend text of a band: "≥ -70 dBm", "-70 to -85 dBm", "< -100 dBm".
  std::string Label(std::size_t band) const {
    const std::size_t last = thresholds_.size();
    if (last == 0) return "all levels";
    if (band == 0) return "\xE2\x89\xA5 " + Number(thresholds_[0]) + " dBm";
    if (band >= last) return "< " + Number(thresholds_[last - 1]) + " dBm";
    return Number(thresholds_[band - 1]) + " to " + Number(thresholds_[band]) + " dBm";
  }

  // KML writes colours as aabbggrr in hexadecimal.
  static std::string KmlColor(Rgb c, std::uint8_t alpha = 0xff) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::uint8_t bytes[4] = {alpha, c.Blue, c.Green, c.Red};
    std::string s;
    for (std::uint8_t b : bytes) {
      s += kHex[b >> 4];
      s += kHex[b & 15];
    }
    return s;
  }

 private:
  static std::string Number(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return std::string(buf, end);
  }
  static Rgb FromHue(double hue) {  // full saturation and value; hue 0..120
    const double x = 1.0 - std::fabs(std::fmod(hue / 60.0, 2.0) - 1.0);
    double r = 0, g = 0;
    if (hue < 60) {
      r = 1;
      g = x;
    } else {
      r = x;
      g = 1;
    }
    return Rgb{static_cast<std::uint8_t>(std::lround(r * 255)),
               static_cast<std::uint8_t>(std::lround(g * 255)), 0};
  }

  std::vector<double> thresholds_;
};

}  // namespace polvane
