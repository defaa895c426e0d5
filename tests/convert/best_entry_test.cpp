#include "convert/best_entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// A receiver's scan table as the Tarvik and Selvor logs keep it: per entry a little-endian
// channel word, then the magnitude, then any further bytes of the entry.
struct ScanTable {
  explicit ScanTable(int size) : size(size) {}
  ScanTable& Entry(std::uint16_t channel, std::uint8_t magnitude) {
    bytes.push_back(static_cast<std::uint8_t>(channel & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(channel >> 8));
    bytes.push_back(magnitude);
    for (int i = 3; i < size; ++i) bytes.push_back(0xEE);
    return *this;
  }
  int Count() const { return static_cast<int>(bytes.size()) / size; }
  int size;
  std::vector<std::uint8_t> bytes;
};

TEST(StrongestEntry, ATableChoosesAsTheEntryByEntryRule) {
  // A channel in the high byte only still has a channel; a channel of 0 takes no part,
  // however strong its level.
  ScanTable t(4);
  t.Entry(0x0100, 90).Entry(0, 30).Entry(7, 70).Entry(8, 70).Entry(0, 20);
  EXPECT_EQ(StrongestTableEntry(t.bytes.data(), t.Count(), 4), 2);
  ScanTable weak(3);
  weak.Entry(5, 121).Entry(6, 255).Entry(0, 10);
  EXPECT_EQ(StrongestTableEntry(weak.bytes.data(), weak.Count(), 3), 0);
  ScanTable edge(3);
  edge.Entry(5, 121).Entry(6, 120);
  EXPECT_EQ(StrongestTableEntry(edge.bytes.data(), edge.Count(), 3), 1);
}

TEST(StrongestEntry, ByteMagnitudesAgreeWithTheRuleForAnySweep) {
  // Sweeps of every length around the 16 bytes taken at a time, with levels bunched near the
  // floor and many equals, against the rule itself.
  std::mt19937 random(7);
  for (int count = 0; count <= 300; ++count)
    for (int trial = 0; trial < 8; ++trial) {
      std::uniform_int_distribution<int> level(trial < 4 ? 100 : 0, trial < 4 ? 140 : 255);
      std::vector<std::uint8_t> samples(static_cast<std::size_t>(count) * 2);
      ScanTable table(trial % 2 ? 3 : 4);
      for (int e = 0; e < count; ++e) {
        samples[static_cast<std::size_t>(e) * 2] = static_cast<std::uint8_t>(level(random));
        table.Entry(random() % 3 == 0 ? 0 : static_cast<std::uint16_t>(random()),
                    static_cast<std::uint8_t>(level(random)));
      }
      const std::int16_t bySample = StrongestEntry(
          count, true, [](int) { return true; }, [&](int e) { return samples[e * 2]; });
      EXPECT_EQ(StrongestMagnitude(samples.data(), count, 2), bySample) << count;
      if (count > 0) {
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(count));
        for (int e = 0; e < count; ++e) packed[e] = samples[e * 2];
        EXPECT_EQ(StrongestMagnitude(packed.data(), count), bySample) << count;
        // The extended receiver's rule for one channel: the last of the least levels.
        const std::uint8_t least = *std::min_element(packed.begin(), packed.end());
        int last = count - 1;
        while (packed[last] != least) --last;
        EXPECT_EQ(LeastMagnitude(packed.data(), count), least) << count;
        EXPECT_EQ(LastPlaceOf(packed.data(), count, least), last) << count;
        if (trial < 4) {
          EXPECT_EQ(LastPlaceOf(packed.data(), count, 0), -1) << count;
        }
      }
      const std::uint8_t* b = table.bytes.data();
      const int size = table.size;
      const std::int16_t byEntry = StrongestEntry(
          count, true, [&](int e) { return (b[e * size] | b[e * size + 1]) != 0; },
          [&](int e) { return b[e * size + 2]; });
      EXPECT_EQ(StrongestTableEntry(b, count, size), byEntry) << count;
    }
}

}  // namespace
}  // namespace polvane
