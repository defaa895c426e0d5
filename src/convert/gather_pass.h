// The average-information pass: TMakeList reads a whole log once and learns how many data
// records the receiver wrote per second, which scales the windows of 40-wavelength averaging.
#pragma once

#include <cstdint>
#include <vector>

namespace polvane {

// While the pass is active the readers that need the information count their data records
// with Record; the seconds are the distinct receiver-clock seconds seen (day of month, hour,
// minute, second).
class GatherPass {
 public:
  // Active, nothing counted, RecordsPerSecond 1.
  void Begin();
  void Record(int day, int hour, int minute, int second);
  // Not active; RecordsPerSecond := records / seconds, or 1 when no second was counted.
  void End();

  bool Active() const { return active_; }
  std::int32_t Records() const { return records_; }
  std::int32_t Seconds() const { return seconds_; }
  std::int32_t RecordsPerSecond() const { return recordsPerSecond_; }
  void SetRecordsPerSecond(std::int32_t n) { recordsPerSecond_ = n; }
  // The counts and the result of another reader's pass (not whether it is active).
  void TakeCounts(const GatherPass& other) {
    records_ = other.records_;
    seconds_ = other.seconds_;
    recordsPerSecond_ = other.recordsPerSecond_;
  }

 private:
  bool active_ = false;
  std::int32_t records_ = 0;
  std::int32_t seconds_ = 0;
  std::int32_t recordsPerSecond_ = 1;
  // One bit per receiver-clock second of a month while active.
  std::vector<std::uint64_t> seen_;
};

}  // namespace polvane
