#include "convert/best_entry.h"

#include <gtest/gtest.h>

#include <vector>

namespace polvane {
namespace {

// Entries as RSSI magnitudes (dBm below zero), with the ones a channel list keeps.
std::int16_t Best(const std::vector<int>& magnitudes, const std::vector<bool>& kept,
                  bool everyChannel) {
  return StrongestEntry(
      static_cast<int>(magnitudes.size()), everyChannel, [&](int e) { return kept[e]; },
      [&](int e) { return magnitudes[e]; });
}

TEST(StrongestEntry, TheStrongestKeptEntryFirstOfEquals) {
  EXPECT_EQ(Best({90, 70, 70, 95}, {true, true, true, true}, true), 1);
  // An entry the list leaves out does not take part, however strong.
  EXPECT_EQ(Best({90, 40, 70, 95}, {true, false, true, true}, false), 2);
}

TEST(StrongestEntry, NothingAboveTheFloorChoosesEntryZero) {
  // -121 dBm and weaker is no stronger than the floor.
  EXPECT_EQ(Best({121, 130, 125}, {true, true, true}, true), 0);
  EXPECT_EQ(Best({130, 120}, {true, true}, true), 1);
  // Every entry left out without a channel list: entry 0 all the same.
  EXPECT_EQ(Best({50, 40}, {false, false}, true), 0);
  EXPECT_EQ(Best({}, {}, true), 0);
}

TEST(StrongestEntry, AChannelListThatKeepsNoEntryLeavesNoBestEntry) {
  EXPECT_EQ(Best({50, 40}, {false, false}, false), -1);
  EXPECT_EQ(Best({}, {}, false), -1);
  // One kept entry, even below the floor, is the sweep's best.
  EXPECT_EQ(Best({50, 130}, {false, true}, false), 0);
}

}  // namespace
}  // namespace polvane
