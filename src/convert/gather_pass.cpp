#include "convert/gather_pass.h"

#include <cstdint>

namespace polvane {

namespace {
constexpr int kMonthSeconds = 32 * 24 * 60 * 60;  // days of a month, counted from 0
}

void GatherPass::Begin() {
  active_ = true;
  records_ = 0;
  seconds_ = 0;
  recordsPerSecond_ = 1;
  seen_.assign(kMonthSeconds / 64, 0);
}

void GatherPass::Record(int day, int hour, int minute, int second) {
  if (!active_ || seen_.empty()) return;
  if (records_ < INT32_MAX) ++records_;
  // A damaged clock still names some second; it is folded into the month's range.
  const auto fold = [](int v, int range) { return ((v % range) + range) % range; };
  const int key =
      ((fold(day, 32) * 24 + fold(hour, 24)) * 60 + fold(minute, 60)) * 60 + fold(second, 60);
  std::uint64_t& word = seen_[key / 64];
  const std::uint64_t bit = std::uint64_t{1} << (key % 64);
  if (!(word & bit)) {
    word |= bit;
    ++seconds_;
  }
}

void GatherPass::End() {
  active_ = false;
  recordsPerSecond_ = seconds_ > 0 ? records_ / seconds_ : 1;
  seen_.clear();
  seen_.shrink_to_fit();
}

}  // namespace polvane
