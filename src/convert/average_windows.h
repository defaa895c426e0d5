// The windows of 40-wavelength averaging, the reduction mode that writes a line per window of
// samples whose length follows the vehicle's speed and the channel's frequency.
#pragma once

#include <array>
#include <cstdint>

namespace polvane {

// A window (sample counter and running sum) per receiver, or per channel column for the
// readers whose records carry a list of channels, and the window means that the receivers'
// current sweeps completed. The reader base clears them whenever a reduction mode is set.
class AverageWindows {
 public:
  static constexpr int kWindows = 86;
  static constexpr int kMeans = 512;  // a sweep of 512 samples completes at most 512 windows
  struct Window {
    std::int32_t Counter;
    std::uint32_t Sum;
    // For the readers that average a list of channels: the channel the window belongs to,
    // and its latest mean once one has closed.
    std::uint16_t Key;
    bool Closed;
    std::uint8_t Mean;
  };

  // Samples per window: trunc(k / (hertz x metresPerSecond)); 1 when the product is not above
  // 0 (no usable speed or frequency), and at most 32767.
  static std::int16_t Length(double k, double hertz, double metresPerSecond);

  // Every window empty, no means of any sweep.
  void Clear();
  // Runs `count` samples through window `window` of length `length` (below 1 counts as 1) and
  // stores the means completed as the current sweep's means of receiver `receiver` (0 to 3).
  // Returns how many were completed.
  std::int16_t Average(int window, int receiver, const std::uint8_t* samples, int count,
                       int length);
  // The level of receiver `receiver` (0 to 3) on output line `line` of an averaged record: its
  // mean of that line; past its last mean, its latest mean; before any, `fallback`.
  int Mean(int receiver, int line, int fallback) const;
  // Mean m (0 to MeanCount - 1) of the current sweep of receiver `receiver` (0 to 3).
  std::uint8_t SweepMean(int receiver, int m) const { return means_[receiver][m]; }
  int MeanCount(int receiver) const { return meanCount_[receiver]; }
  // Window `window` (0 to kWindows - 1), for the readers that run their windows themselves.
  Window& At(int window) { return windows_[window]; }
  const Window& At(int window) const { return windows_[window]; }

 private:
  std::array<Window, kWindows> windows_{};
  std::array<std::array<std::uint8_t, kMeans>, 4> means_{};
  std::array<std::int16_t, 4> meanCount_{};
  // The latest mean of any sweep per receiver: -1 before the first once cleared.
  std::array<std::int16_t, 4> lastMean_{};
};

}  // namespace polvane
