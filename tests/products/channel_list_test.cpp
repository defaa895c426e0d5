// The channel list: the data group keeps only the listed channels (single channels and ranges),
// and best server chooses among them.
#include "convert/channel_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form_controls.h"
#include "products/drovel/drovel_converter.h"
#include "products/tarvik/tarvik_converter.h"
#include "products/tarvik/tarvik_ext_converter.h"
#include "support/conversion.h"
#include "support/drovel_log.h"
#include "support/tarvik_ext_log.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace testing;

ChannelList List(const char* text) {
  ChannelList list;
  std::string why;
  EXPECT_TRUE(list.Parse(text, why)) << text << ": " << why;
  return list;
}

TEST(ChannelListText, ChannelsAndRanges) {
  const ChannelList list = List(" 100-120, 450 ,7-7");
  for (int ch : {100, 110, 120, 450, 7}) EXPECT_TRUE(list.Contains(ch)) << ch;
  for (int ch : {99, 121, 449, 451, 6, 8, 0}) EXPECT_FALSE(list.Contains(ch)) << ch;
  EXPECT_TRUE(ChannelList().Takes(12345));
  ChannelList kept = List("5");
  std::string why;
  for (const char* bad : {"", "100-", "-5", "120-100", "a", "1,,2", "70000", "1-2-3", "5;6"}) {
    EXPECT_FALSE(kept.Parse(bad, why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
  EXPECT_TRUE(kept.Contains(5));  // a bad list leaves the list as it was
}

class TarvikChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    c.BindReceiverBoxes(form);
    form.ScanTypeGroup.SetItemIndex(0);  // "Scan Table"
    form.FrequencyField.SetChecked(false);
    form.ChannelField.SetChecked(true);
    form.FieldTitles.SetChecked(false);
  }
  // One scan record: receiver 1 hears the channels with the given magnitudes.
  std::vector<std::string> Run(const std::vector<TarvikScanEntry>& heard, const char* list,
                               std::int16_t mode = kReduceNone) {
    std::array<TarvikScanReceiver, 4> rx;
    rx[0].plan = {0, 800, 0, 250, 0};
    rx[0].entries = heard;
    TarvikLogBuilder log;
    log.Identification("QVX TARVIK", "1.25").Scan({}, rx);
    const std::string path = dir.File("scan.tvf");
    log.WriteTo(path);
    LoopSettings s;
    s.ReductionMode = mode;
    s.Channels = List(list);
    return Lines(Convert(c, path, Fields({0}), s));
  }
  ScratchDir dir;
  FormControls form;
  TarvikConverter c;
};

const std::vector<TarvikScanEntry> kHeard = {{5, 50},   {100, 80}, {110, 65}, {120, 75},
                                             {121, 40}, {450, 90}, {500, 60}};

TEST_F(TarvikChannels, TheDataGroupKeepsTheListedChannelsInTheirOrder) {
  EXPECT_EQ(Run(kHeard, "100-120,450"),
            std::vector<std::string>{"100,-80,110,-65,120,-75,450,-90"});
}

TEST_F(TarvikChannels, BestServerChoosesAmongTheListedChannelsOnly) {
  // Channels 5 (-50), 121 (-40) and 500 (-60) are stronger, but not listed.
  EXPECT_EQ(Run(kHeard, "100-120,450", kReduceBestServer), std::vector<std::string>{"110,-65"});
  EXPECT_EQ(Run(kHeard, "450", kReduceBestServer), std::vector<std::string>{"450,-90"});
  // None of the listed channels was heard: the receiver writes no reading, not entry 0.
  EXPECT_EQ(Run(kHeard, "200-300", kReduceBestServer), std::vector<std::string>{});
}

TEST(DrovelChannels, TheThreeChannelReadingsKeepTheListedOnes) {
  ScratchDir dir;
  FormControls form;
  DrovelConverter c;
  c.BindReceiverBoxes(form);
  form.DrovelMode.SetItemIndex(1);  // "3 Channel"
  form.FrequencyField.SetChecked(false);
  form.ChannelField.SetChecked(true);
  form.FieldTitles.SetChecked(false);
  DrovelLogBuilder log;
  log.Identification("QVX DROVEL", "1.3").Setup({});
  DrovelData d;
  d.flags = kDrovelThreeChannel;
  d.readings = {{{300, 70}, {310, 60}, {320, 80}}};
  log.Data(d);
  const std::string path = dir.File("d.dvf");
  log.WriteTo(path);
  LoopSettings s;
  s.Channels = List("300,320");
  EXPECT_EQ(Lines(Convert(c, path, Fields({0}), s)), std::vector<std::string>{"300,-70,320,-80"});
  s.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Lines(Convert(c, path, Fields({0}), s)), std::vector<std::string>{"300,-70"});
}

TEST(TarvikExtChannels, TheReceiversReadingsKeepTheListedOnes) {
  ScratchDir dir;
  FormControls form;
  TarvikExtConverter c;
  c.BindReceiverBoxes(form);
  form.FrequencyField.SetChecked(false);
  form.ChannelField.SetChecked(true);
  form.FieldTitles.SetChecked(false);
  TarvikExtHeader h;
  h.gps = {9, 0, 0};
  TarvikExtLogBuilder log;
  log.Scan(h, {}).C(0, 5, 70, 1).C(0, 6, 60, 2).C(0, 7, 80, 3);
  const std::string path = dir.File("ext.tvf");
  log.WriteTo(path);
  LoopSettings s;
  s.Channels = List("5,7-9");
  // Each control-channel record holds one reading: channel 6's line has nothing left to write.
  const std::vector<std::string> kept = {"5,-70", "7,-80"};
  EXPECT_EQ(Lines(Convert(c, path, Fields({0}), s)), kept);
  s.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Lines(Convert(c, path, Fields({0}), s)), kept);
  s.Channels = List("6");
  EXPECT_EQ(Lines(Convert(c, path, Fields({0}), s)), std::vector<std::string>{"6,-60"});
}

}  // namespace
}  // namespace polvane
