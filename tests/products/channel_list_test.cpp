// The channel list: the data group keeps only the listed channels (single channels and ranges),
// and best server chooses among them.
#include "convert/channel_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/form_controls.h"
#include "convert/input_file.h"
#include "convert/line_sink.h"
#include "convert/record_loop.h"
#include "products/drovel/drovel_converter.h"
#include "products/kes/kes_card_converter.h"
#include "products/kes/kes_dump_converter.h"
#include "products/pelmor/pelmor_converter.h"
#include "products/tarvik/tarvik_converter.h"
#include "products/tarvik/tarvik_ext_converter.h"
#include "support/conversion.h"
#include "support/drovel_log.h"
#include "support/kes_card_log.h"
#include "support/kes_dump_log.h"
#include "support/pelmor_log.h"
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
    ConversionSettings s;
    s.ReductionMode = mode;
    s.Channels = List(list);
    return Lines(Convert(c, form, path, Fields({0}), s));
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
  ConversionSettings s;
  s.Channels = List("300,320");
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({0}), s)),
            std::vector<std::string>{"300,-70,320,-80"});
  s.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({0}), s)), std::vector<std::string>{"300,-70"});
}

TEST(TarvikExtChannels, TheReceiversReadingsKeepTheListedOnes) {
  ScratchDir dir;
  FormControls form;
  TarvikExtConverter c;
  form.FrequencyField.SetChecked(false);
  form.ChannelField.SetChecked(true);
  form.FieldTitles.SetChecked(false);
  TarvikExtHeader h;
  h.gps = {9, 0, 0};
  TarvikExtLogBuilder log;
  log.Scan(h, {}).C(0, 5, 70, 1).C(0, 6, 60, 2).C(0, 7, 80, 3);
  const std::string path = dir.File("ext.tvf");
  log.WriteTo(path);
  ConversionSettings s;
  s.Channels = List("5,7-9");
  // Each control-channel record holds one reading: channel 6's line has nothing left to write.
  const std::vector<std::string> kept = {"5,-70", "7,-80"};
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({0}), s)), kept);
  s.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({0}), s)), kept);
  s.Channels = List("6");
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({0}), s)), std::vector<std::string>{"6,-60"});
}

// The readers whose data group is a list of columns, one per channel of the scan.
class KesChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    form.FrequencyField.SetChecked(false);
    form.ChannelField.SetChecked(true);
    form.FieldTitles.SetChecked(false);
  }
  std::vector<std::string> Run(ProductConverter& c, const std::string& path, const char* list,
                               std::int16_t mode = kReduceNone) {
    ConversionSettings s;
    s.ReductionMode = mode;
    if (*list) s.Channels = List(list);
    return Lines(Convert(c, form, path, Fields({0}), s));
  }
  // A PC-card scan of channels 1 to 4 (type 3, or 8 for a fast fade) and one data record.
  std::string CardLog(const std::vector<std::uint8_t>& samples, int type = 3) {
    KesScan scan;
    scan.type = type;
    scan.codes = {1, 2, 3, 4};
    KesCardLogBuilder log;
    log.Scan(scan).Data(KesDriveClock(0), samples);
    const std::string path = dir.File("card.bin");
    log.WriteTo(path);
    return path;
  }
  ScratchDir dir;
  FormControls form;
};

TEST_F(KesChannels, ThePcCardDataGroupKeepsTheListedColumnsAndTheirTitles) {
  KesCardConverter c;
  const std::string path = CardLog({80, 60, 85, 70});
  EXPECT_EQ(Run(c, path, "1,3-4"), std::vector<std::string>{"1,-80,3,-85,4,-70"});
  form.FieldTitles.SetChecked(true);
  EXPECT_EQ(Run(c, path, "2-3")[0], "\"Channel #2\",\"RSSI #2\",\"Channel #3\",\"RSSI #3\"");
  form.FieldTitles.SetChecked(false);
  // Channel 2 at -60 dBm is the strongest, but not listed.
  EXPECT_EQ(Run(c, path, "1,3-4", kReduceBestServer), std::vector<std::string>{"4,-70"});
  EXPECT_EQ(Run(c, path, "7-9", kReduceBestServer), std::vector<std::string>{});
  EXPECT_EQ(Run(c, path, "7-9"), std::vector<std::string>{});
}

TEST_F(KesChannels, AFastFadeKeepsEachListedColumnWithItsOwnSample) {
  // Two sweeps of four channels: each column takes the next sample, the left-out ones too.
  KesCardConverter c;
  const std::string path = CardLog({81, 82, 83, 84, 85, 86, 87, 88}, 8);
  EXPECT_EQ(Run(c, path, "2,4"), (std::vector<std::string>{"2,-82,4,-84", "2,-86,4,-88"}));
}

TEST_F(KesChannels, ThePcDumpDataGroupKeepsTheListedChannels) {
  KesDumpRecord r;
  r.channels = {{10, 80}, {11, 60}, {12, 85}, {13, 70}};
  KesDumpLogBuilder log;
  log.Data(r);
  const std::string path = dir.File("dump.kes");
  log.WriteTo(path);
  KesDumpConverter c;
  EXPECT_EQ(Run(c, path, "10,12-20"), std::vector<std::string>{"10,-80,12,-85,13,-70"});
  EXPECT_EQ(Run(c, path, "10,12-20", kReduceBestServer), std::vector<std::string>{"13,-70"});
  EXPECT_EQ(Run(c, path, "11", kReduceBestServer), std::vector<std::string>{"11,-60"});
}

// A sink that reads every cell of a line: the loop then takes the data group a column per
// chunk, where the delimited writer, which reads only the joined text, has the columns written
// into one chunk. Both must give the same text, whatever columns the list leaves out.
struct CellTexts : LineSink {
  bool WantsTitles() const override { return false; }
  void Write(const Line& line) override {
    std::string text;
    for (const Cell& cell : line.Cells) text += (text.empty() ? "" : ",") + std::string(cell.Text);
    lines.push_back(text);
  }
  std::vector<std::string> lines;
};

TEST_F(KesChannels, ColumnsInOneChunkOrAChunkEachGiveTheSameLines) {
  KesDumpRecord r;
  r.channels = {{10, 80}, {11, 60}, {12, 85}, {13, 70}};
  KesDumpLogBuilder dumpLog;
  dumpLog.Data(r).Data(r);
  const std::string dump = dir.File("dump.kes");
  dumpLog.WriteTo(dump);
  KesDumpConverter dumpReader;
  KesCardConverter cardReader;
  const std::string fade = dir.File("fade.bin");
  std::rename(CardLog({81, 82, 83, 84, 85, 86, 87, 88}, 8).c_str(), fade.c_str());
  const std::string card = CardLog({81, 82, 83, 84, 85, 86, 87, 88});
  struct Case {
    ProductConverter* reader;
    std::string path;
    const char* list;
    std::int16_t mode;
  };
  const Case cases[] = {
      {&cardReader, card, "", kReduceNone},       {&cardReader, card, "1,3-4", kReduceNone},
      {&cardReader, fade, "2,4", kReduceNone},    {&cardReader, fade, "", kReduceNone},
      {&cardReader, card, "", kReduceBestServer}, {&dumpReader, dump, "10,12-20", kReduceNone},
      {&dumpReader, dump, "", kReduceNone},       {&dumpReader, dump, "11", kReduceBestServer},
  };
  // With the frequency column too: its texts come from the plan's kept texts.
  for (const bool frequency : {false, true})
    for (const Case& k : cases) {
      form.FrequencyField.SetChecked(frequency);
      const std::vector<std::string> joined = Run(*k.reader, k.path, k.list, k.mode);
      ConversionSettings s = FormSettings(form);
      s.ReductionMode = k.mode;
      s.Channels = *k.list ? List(k.list) : ChannelList{};
      k.reader->SetSettings(s);
      ASSERT_EQ(k.reader->OpenInput(k.path), 0);
      k.reader->SetConverting(true);
      CellTexts cells;
      RunState run;
      RecordLoop().Run(*k.reader, cells, nullptr, Fields({0}), run, FileSize(k.path));
      k.reader->SetConverting(false);
      EXPECT_FALSE(joined.empty()) << k.path << " " << k.list;
      EXPECT_EQ(cells.lines, joined) << k.path << " " << k.list << " " << frequency;
    }
}

class PelmorChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    form.FrequencyField.SetChecked(false);
    form.ChannelField.SetChecked(true);
    form.FieldTitles.SetChecked(false);
  }
  // Receiver 1 active on a 30 kHz plan whose first frequency is channel 1.
  static PelmorLogBuilder Log() {
    PelmorPlan plan;
    plan.first = 29001;
    plan.last = 29833;
    plan.stepKhz = 30;
    PelmorLogBuilder log;
    log.Configuration(1, plan, plan).Clock({});
    return log;
  }
  std::vector<std::string> Run(const PelmorLogBuilder& log, const char* list,
                               std::int16_t mode = kReduceNone) {
    const std::string path = dir.File("log.pvf");
    log.WriteTo(path);
    ConversionSettings s;
    s.ReductionMode = mode;
    if (*list) s.Channels = List(list);
    return Lines(Convert(c, form, path, Fields({0}), s));
  }
  ScratchDir dir;
  FormControls form;
  PelmorConverter c;
};

TEST_F(PelmorChannels, AListRecordKeepsTheListedChannels) {
  std::array<std::uint32_t, 10> list{};
  for (int j = 0; j < 10; ++j) list[j] = 29001 + static_cast<std::uint32_t>(j);  // channels 1-10
  PelmorLogBuilder log = Log();
  log.ListSetup(list, list).ListData({{0, 1, -45}, {0, 4, -55}, {0, 7, -30}});
  EXPECT_EQ(Run(log, "2,5-6"), std::vector<std::string>{"2,-45,5,-55,6,-120"});
  // Channel 8 at -30 dBm is the strongest, but not listed.
  EXPECT_EQ(Run(log, "2,5-6", kReduceBestServer), std::vector<std::string>{"2,-45"});
  EXPECT_EQ(Run(log, "20", kReduceBestServer), std::vector<std::string>{});
}

TEST_F(PelmorChannels, TableBestServerFollowsTheSweepsOfTheListedChannels) {
  PelmorLogBuilder log = Log();
  log.TableData({{0, 1, -90}, {0, 2, -80}, {0, 3, -85}, {0, 4, -70}});
  log.TableData({{0, 5, -95}, {0, 6, -60}, {0, 7, -75}, {0, 1, -88}});
  log.TableData({{0, 6, -40}, {0, 7, -45}, {0, 4, -53}, {0, 2, -50}});
  EXPECT_EQ(Run(log, "2-3,5"), (std::vector<std::string>{"2,-80,3,-85", "5,-95", "2,-50"}));
  // A sweep ends in the record whose last entry begins the next one. Without a list that is
  // the second record (channel 1 comes round; channel 6 was best); over channels 2, 3 and 5 it
  // is the third, whose last listed entry is channel 2 again.
  EXPECT_EQ(Run(log, "", kReduceBestServer), std::vector<std::string>{"6,-60"});
  EXPECT_EQ(Run(log, "2-3,5", kReduceBestServer), std::vector<std::string>{"2,-80"});
}

}  // namespace
}  // namespace polvane
