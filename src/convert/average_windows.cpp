#include "convert/average_windows.h"

#include <cmath>

namespace polvane {

std::int16_t AverageWindows::Length(double k, double hertz, double metresPerSecond) {
  const double product = hertz * metresPerSecond;
  if (!(product > 0)) return 1;  // no speed, no frequency, or not a number
  const double samples = std::trunc(k / product);
  if (!(samples >= 1)) return 1;
  if (samples > 32767) return 32767;
  return static_cast<std::int16_t>(samples);
}

void AverageWindows::Clear() {
  *this = AverageWindows{};
  lastMean_.fill(-1);
}

std::int16_t AverageWindows::Average(int window, int receiver, const std::uint8_t* samples,
                                     int count, int length) {
  if (window < 0 || window >= kWindows || receiver < 0 || receiver > 3) return 0;
  if (length < 1) length = 1;
  Window& w = windows_[window];
  auto& means = means_[receiver];
  int produced = 0;
  for (int i = 0; i < count; ++i) {
    ++w.Counter;
    w.Sum += samples[i];
    // A window that a shorter length overtook (the speed or the channel changed) closes at
    // once, with the mean of the samples it holds.
    if (w.Counter >= length) {
      const auto mean = static_cast<std::uint8_t>(w.Sum / static_cast<std::uint32_t>(w.Counter));
      if (produced < kMeans) means[produced++] = mean;
      lastMean_[receiver] = mean;
      w.Counter = 0;
      w.Sum = 0;
    }
  }
  meanCount_[receiver] = static_cast<std::int16_t>(produced);
  return static_cast<std::int16_t>(produced);
}

int AverageWindows::Mean(int receiver, int line, int fallback) const {
  if (receiver < 0 || receiver > 3) return fallback;
  const int count = meanCount_[receiver];
  if (line >= 0 && line < count) return means_[receiver][line];
  const int last = lastMean_[receiver];
  return last >= 0 ? last : fallback;
}

}  // namespace polvane
