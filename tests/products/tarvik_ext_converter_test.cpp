#include "products/tarvik/tarvik_ext_converter.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/converter_registry.h"
#include "convert/identify.h"
#include "convert/tree_node.h"
#include "support/conversion.h"
#include "support/section_states.h"
#include "support/tarvik_ext_log.h"

namespace polvane {
namespace {

using testing::Convert;
using testing::Fields;
using testing::IndexSections;
using testing::Lines;
using testing::ScratchDir;
using testing::TarvikExtFastBlock;
using testing::TarvikExtHeader;
using testing::TarvikExtLogBuilder;
using testing::TarvikExtPlan;

std::vector<std::string> Split(const std::string& line, char delimiter = ',') {
  std::vector<std::string> items;
  std::stringstream in(line);
  std::string item;
  while (std::getline(in, item, delimiter)) items.push_back(item);
  if (!line.empty() && line.back() == delimiter) items.push_back("");
  return items;
}

TarvikExtHeader At(int hour, int minute, int second) {
  TarvikExtHeader h;
  h.gps = {hour, minute, second};
  return h;
}

std::array<TarvikExtPlan, 4> Plans(const TarvikExtPlan& plan = {}) {
  return {plan, plan, plan, plan};
}

// A fast block on `channel` whose samples run from `first` upwards by one, wrapping at 100.
TarvikExtFastBlock Block(int channel, int first = 40) {
  TarvikExtFastBlock b;
  b.channel = static_cast<std::uint16_t>(channel);
  for (int i = 0; i < 512; ++i) b.samples[i] = static_cast<std::uint8_t>(first + i % 60);
  return b;
}

class TarvikExtTest : public ::testing::Test {
 protected:
  TarvikExtTest() { form.FieldTitles.SetChecked(false); }

  std::string Write(const TarvikExtLogBuilder& log) {
    const std::string path = dir.File("log" + std::to_string(files_++) + ".tvf");
    log.WriteTo(path);
    return path;
  }
  std::vector<std::string> Run(const TarvikExtLogBuilder& log, const Selection& selection,
                               ConversionSettings settings = {}) {
    return Lines(Convert(c, form, Write(log), selection, settings));
  }
  static ConversionSettings BestServer() {
    ConversionSettings s;
    s.ReductionMode = kReduceBestServer;
    return s;
  }

  FormControls form;
  TarvikExtConverter c;
  ScratchDir dir;

 private:
  int files_ = 0;
};

// --- Framing -------------------------------------------------------------------------------

TEST_F(TarvikExtTest, FramingSkipsTheFileHeaderAndStopsAtAZeroLength) {
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).C(0, 5, 70, 1).Length(0).C(0, 6, 71, 2);
  // The file header is not a record: nothing of it reaches the output.
  EXPECT_EQ(Run(log, Fields({0})), (std::vector<std::string>{"870.15000,-70"}));
}

TEST_F(TarvikExtTest, OutOfRangeLengthsConsumeOnlyTheirTwoBytes) {
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).Length(5000).Length(-3).C(0, 5, 70, 1);
  const std::string path = Write(log);
  ASSERT_EQ(c.OpenInput(path), 0);
  c.SetConverting(true);
  std::vector<std::uint8_t> buffer(kRecordBufferSize, 0xEE);
  EXPECT_EQ(c.ReadRecord(buffer.data()), 2 + 84);
  EXPECT_EQ(c.ParseRecord(buffer.data()), kActionNone);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(c.ReadRecord(buffer.data()), 2);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(c.ParseRecord(buffer.data()), kActionNone);
  }
  EXPECT_EQ(c.ReadRecord(buffer.data()), 2 + 7);
  EXPECT_EQ(c.ParseRecord(buffer.data()), kActionWrite);
  EXPECT_EQ(c.ReadRecord(buffer.data()), 0);
  c.CloseInput();

  EXPECT_EQ(Run(log, Fields({0})), (std::vector<std::string>{"870.15000,-70"}));
}

TEST_F(TarvikExtTest, DamagedLogsYieldTheirGoodRecords) {
  // A fast record whose length cuts its last block short is not taken at all.
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).C(0, 5, 70, 1);
  testing::Bytes cut =
      TarvikExtLogBuilder::FastBody(At(9, 0, 1), testing::PresentBlocks({1}, Block(9)));
  log.Record(cut.Resize(2000));
  log.C(0, 6, 71, 2).Truncate(3);  // the last record loses its tail
  EXPECT_EQ(Run(log, Fields({0})), (std::vector<std::string>{"870.15000,-70"}));

  // A file that ends inside its header or inside its first length.
  const std::vector<std::uint8_t> header = {'T', 'Q', 'L', '1', '2', '7', 9};
  for (std::size_t size : {0, 3, 6, 7}) {
    const std::string path = dir.File("short" + std::to_string(size));
    testing::WriteFile(path, std::vector<std::uint8_t>(header.begin(), header.begin() + size));
    EXPECT_TRUE(Lines(Convert(c, form, path, Fields({0}))).empty()) << size;
  }
}

TEST_F(TarvikExtTest, TheFileIsRecognisedByItsTag) {
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).C(0, 5, 70, 1);
  const std::string path = Write(log);
  EXPECT_EQ(IdentifyProduct(path), kProductTarvikExt);
  ConverterRegistry registry;
  EXPECT_NE(dynamic_cast<TarvikExtConverter*>(registry.ForCode(kProductTarvikExt)), nullptr);
}

// --- Fast records --------------------------------------------------------------------------

TEST_F(TarvikExtTest, EachPresentCheckedReceiverWritesALineOfItsSamples) {
  form.Receiver2.SetChecked(true);
  form.Receiver3.SetChecked(true);  // checked, but its block is not present
  auto blocks = testing::PresentBlocks({1, 2});
  blocks[0] = Block(5, 40);
  blocks[1] = Block(7, 50);
  blocks[1].samples[300] = 12;  // receiver 2's strongest sample
  blocks[2] = Block(3, 20);
  blocks[2].present = false;
  TarvikExtLogBuilder log;
  log.Fast(At(9, 0, 0), blocks);

  const auto lines = Run(log, Fields({49, 0}));
  ASSERT_EQ(lines.size(), 2u);
  const auto first = Split(lines[0]), second = Split(lines[1]);
  ASSERT_EQ(first.size(), 1u + 2 * 512);
  ASSERT_EQ(second.size(), 1u + 2 * 512);
  EXPECT_EQ(first[0], "1");
  EXPECT_EQ(first[1], "870.15000");
  EXPECT_EQ(first[2], "-40");
  EXPECT_EQ(first[2 * 511 + 2], "-" + std::to_string(40 + 511 % 60));
  EXPECT_EQ(second[0], "2");
  EXPECT_EQ(second[1], "870.21000");
  EXPECT_EQ(second[2 * 300 + 2], "-12");

  // Best server: each line holds the receiver's strongest sample only.
  EXPECT_EQ(Run(log, Fields({49, 0}), BestServer()),
            (std::vector<std::string>{"1,870.15000,-40", "2,870.21000,-12"}));

  // A channel list that keeps receiver 2's channel alone: receiver 1's samples go, whole.
  ConversionSettings listed;
  std::string why;
  ASSERT_TRUE(listed.Channels.Parse("7", why)) << why;
  EXPECT_EQ(Run(log, Fields({49, 0}), listed), (std::vector<std::string>{"1,", lines[1]}));
  listed.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Run(log, Fields({49, 0}), listed), (std::vector<std::string>{"1,", "2,870.21000,-12"}));
}

TEST_F(TarvikExtTest, AFastRecordWithoutPresentCheckedBlocksWritesNoLine) {
  form.Receiver2.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Fast(At(9, 0, 0), testing::PresentBlocks({}, Block(5)));
  log.Fast(At(9, 0, 1), testing::PresentBlocks({3, 4}, Block(5)));  // unchecked receivers
  EXPECT_TRUE(Run(log, Fields({49, 0})).empty());
}

TEST_F(TarvikExtTest, AReceiverAbsentFromALaterRecordIsNotWrittenAgain) {
  form.Receiver2.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Fast(At(9, 0, 0), testing::PresentBlocks({1, 2}, Block(5)));
  log.Fast(At(9, 0, 1), testing::PresentBlocks({2}, Block(6)));
  EXPECT_EQ(Run(log, Fields({19, 20, 21, 49, 0}), BestServer()),
            (std::vector<std::string>{"09,00,00,1,870.15000,-40", "09,00,00,2,870.15000,-40",
                                      "09,00,01,2,870.18000,-40"}));
}

TEST_F(TarvikExtTest, ABlockOutsideItsPlanSuppressesTheRecord) {
  form.Receiver2.SetChecked(true);
  form.Receiver3.SetChecked(true);
  TarvikExtPlan scanPlan;
  scanPlan.baseMhz = 860;
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans(scanPlan));
  auto blocks = testing::PresentBlocks({1, 2, 3});
  blocks[0] = Block(5);
  blocks[1] = Block(800);  // above the plan's highest channel 799
  blocks[2] = Block(6);
  blocks[2].plan.baseMhz = 880;
  log.Fast(At(9, 0, 1), blocks);
  log.C(2, 6, 77, 0);
  // The fast record writes nothing. Receiver 1, taken before the bad block, keeps its new
  // readings for the next line; receiver 2 lost its list; receiver 3 was never reached and
  // keeps the scan record's plan.
  EXPECT_EQ(Run(log, Fields({49, 0}), BestServer()),
            (std::vector<std::string>{"1,870.15000,-40", "3,860.18000,-77"}));

  // Below the lowest channel likewise.
  TarvikExtLogBuilder low;
  auto lowBlocks = testing::PresentBlocks({1}, Block(0));
  low.Fast(At(9, 0, 0), lowBlocks);
  EXPECT_TRUE(Run(low, Fields({49, 0})).empty());
}

TEST_F(TarvikExtTest, SecondPlanFlagsGiveTheReadingsTheirValues) {
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.SATField.SetChecked(true);  // as a loaded configuration may set them
  form.VMACField.SetChecked(true);
  form.FieldTitles.SetChecked(true);
  auto blocks = testing::PresentBlocks({1, 2});
  blocks[0] = Block(5, 60);
  blocks[0].plan.secondFlags = 0x40;
  blocks[0].value1 = 5;  // SAT
  blocks[0].value2 = 3;  // VMAC
  blocks[1] = Block(8, 60);
  blocks[1].plan.secondFlags = 0x80;
  blocks[1].value1 = 2;  // DCC
  blocks[1].value2 = 9;  // a second value that is not written
  TarvikExtLogBuilder log;
  log.Fast(At(9, 0, 0), blocks);
  ConversionSettings tab = BestServer();
  tab.Delimiter = '\t';
  EXPECT_EQ(Run(log, Fields({49, 0}), tab),
            (std::vector<std::string>{
                "\"Receiver\"\t\"Frequency\"\t\"Channel\"\t\"RSSI\"\t\"SAT/DCC\"\t\"VMAC\"",
                "1\t870.15000\t5\t-60\t5,0\t3", "2\t870.24000\t8\t-60\t0,2\t0"}));
}

// --- Scan records and plans ----------------------------------------------------------------

TEST_F(TarvikExtTest, ScanRecordsReplaceThePlansAndWriteNothing) {
  TarvikExtPlan first, second;
  second.baseMhz = 450;
  second.fraction = 0;
  second.spacing = 62;
  second.lowest = 100;
  second.highest = 200;
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans(first)).V(0, 108, 70, 1, 2);
  log.Scan(At(9, 0, 1), Plans(second)).V(0, 108, 71, 1, 2);
  log.Scan(At(9, 0, 2), Plans(TarvikExtPlan{0, 0, 0, 0, 0, 0, 0})).V(0, 108, 72, 1, 2);
  log.Scan(At(9, 0, 3), Plans(second)).V(0, 108, 73, 1, 2);
  // Back to the first plan, with channel 1132 sharing channel 108's kept text slot.
  log.Scan(At(9, 0, 4), Plans(first)).V(0, 1132, 74, 1, 2).V(0, 108, 75, 1, 2);
  // Spacing 62 is 6.25 kHz: channel 108 lies 8 steps above 450.0000 MHz. A receiver without
  // a plan (spacing 0) is never selected.
  EXPECT_EQ(Run(log, Fields({0})),
            (std::vector<std::string>{"873.24000,-70", "450.05000,-71", "450.05000,-73",
                                      "903.96000,-74", "873.24000,-75"}));
}

TEST_F(TarvikExtTest, PlanFrequencyAndDisplayedChannel) {
  ChannelPlan plan;
  const std::uint8_t bytes[14] = {0, 0, 0x40, 194, 1, 0, 0, 62, 0, 100, 0, 200, 0, 0};
  std::copy(std::begin(bytes), std::end(bytes), plan.Bytes);  // 450.0000 MHz, 6.25 kHz
  EXPECT_EQ(plan.Displayed(35), 1);
  EXPECT_EQ(plan.Displayed(34), 1023);
  EXPECT_EQ(plan.Displayed(0), 989);
  EXPECT_EQ(plan.Displayed(1000), 966);
  plan.Bytes[2] = 0x80;  // bit 7 is for the fixed layouts only; bit 6 clear: raw channels
  EXPECT_EQ(plan.Displayed(34), 34);
  EXPECT_DOUBLE_EQ(plan.Frequency(108), 450.05);
  EXPECT_DOUBLE_EQ(plan.Frequency(96), 449.975);
  plan.Bytes[7] = 63;  // any other spacing is in units of 0.0001 MHz
  EXPECT_DOUBLE_EQ(plan.Frequency(110), 450.063);

  // Through the output, with the channel column.
  form.ChannelField.SetChecked(true);
  TarvikExtPlan offset;
  offset.flags = 0x40;
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans(offset)).C(0, 35, 70, 1).C(0, 34, 70, 1).C(0, 0, 70, 1);
  EXPECT_EQ(
      Run(log, Fields({0})),
      (std::vector<std::string>{"871.05000,1,-70", "871.02000,1023,-70", "870.00000,989,-70"}));
}

// --- Reading records -----------------------------------------------------------------------

TEST_F(TarvikExtTest, GroupedRReadingsAreWrittenWhenTheNextGroupOpens) {
  form.ChannelField.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans());
  log.R(0, 1, 10, 61).R(0, 2, 11, 62).R(0, 2, 12, 63);  // W, X, Y
  log.R(0, 1, 20, 64);                                  // Z: writes W, X, Y
  log.R(0, 1, 30, 65);                                  // a group of Z alone
  log.R(0, 2, 31, 66).R(0, 3, 32, 67);  // any other kind is appended to the list as it is
  log.R(0, 1, 40, 68);
  // The first opener finds the list empty.
  EXPECT_EQ(Run(log, Fields({49, 0})),
            (std::vector<std::string>{"1,", "1,870.30000,10,-61,870.33000,11,-62,870.36000,12,-63",
                                      "1,870.60000,20,-64",
                                      "1,870.90000,30,-65,870.93000,31,-66,870.96000,32,-67"}));
}

TEST_F(TarvikExtTest, SReadingsOpenAGroupWithoutChangingTheList) {
  form.SATField.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans());
  log.V(0, 5, 70, 4, 1);   // the list: A
  log.S(0, 1, 10, 61, 7);  // W
  log.S(0, 1, 20, 62, 8);  // Z: W is dropped
  log.S(0, 2, 21, 63, 9).S(0, 1, 30, 64, 1);
  EXPECT_EQ(Run(log, Fields({0})),
            (std::vector<std::string>{"870.15000,-70,4,0", "870.15000,-70,4,0", "870.15000,-70,4,0",
                                      "870.60000,-62,8,0,870.63000,-63,9,0"}));
}

TEST_F(TarvikExtTest, RAndSGroupsShareTheReceiversList) {
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans());
  log.R(0, 1, 10, 61).S(0, 1, 20, 62, 0).R(0, 2, 11, 63).S(0, 2, 21, 64, 0);
  log.R(0, 1, 12, 65);
  // "r" kind 2 closes its group into the list; "s" kind 2 then replaces it with its own. The
  // first two openers find the list empty: their lines hold nothing and are not ended.
  EXPECT_EQ(Run(log, Fields({0})), (std::vector<std::string>{"870.60000,-62,870.63000,-64"}));
}

TEST_F(TarvikExtTest, EachReadingGoesToItsReceiver) {
  form.Receiver2.SetChecked(true);
  form.Receiver4.SetChecked(true);
  form.SATField.SetChecked(true);
  form.VMACField.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans());
  log.V(1, 5, 70, 1, 2).C(3, 6, 71, 3).V(2, 7, 72, 4, 5);  // receiver 3 is not checked
  log.V(4, 5, 70, 1, 2).C(200, 5, 70, 1).R(4, 1, 5, 70).S(9, 1, 5, 70, 1);  // no such receiver
  EXPECT_EQ(Run(log, Fields({49, 0})),
            (std::vector<std::string>{"2,870.15000,-70,1,0,2", "4,870.18000,-71,0,3,0"}));
}

TEST_F(TarvikExtTest, AGroupNeverGrowsPastItsBound) {
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans());
  log.R(0, 1, 1, 50);
  for (int i = 0; i < 700; ++i) log.R(0, 2, 2, 60);
  log.R(0, 1, 3, 70);
  const auto lines = Run(log, Fields({0}));  // the first opener's empty line is not ended
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Split(lines[0]).size(), 2u * tarvik_ext::kMaxReadings);
}

TEST_F(TarvikExtTest, BestServerTakesTheStrongestAndTheLaterOfEquals) {
  form.ChannelField.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans());
  log.R(0, 1, 10, 70).R(0, 2, 11, 60).R(0, 2, 12, 60).R(0, 2, 13, 61).R(0, 1, 14, 50);
  EXPECT_EQ(Run(log, Fields({0}), BestServer()), (std::vector<std::string>{"870.36000,12,-60"}));
}

// --- Titles and fields ---------------------------------------------------------------------

TEST_F(TarvikExtTest, TitlesAreOneGroupForAllReceivers) {
  form.FieldTitles.SetChecked(true);
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.FrequencyField.SetChecked(false);
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).C(0, 5, 70, 1).C(1, 6, 71, 1).C(1, 7, 72, 1);
  EXPECT_EQ(Run(log, Fields({49, 0, 32})),
            (std::vector<std::string>{"\"Receiver\",\"Channel\",\"RSSI\",\"Record Number\"",
                                      "1,5,-70,1", "2,6,-71,2", "2,7,-72,3"}));
}

TEST_F(TarvikExtTest, FieldTable) {
  TarvikExtHeader h;
  h.rtcYear = 4;
  h.rtcMonth = 6;
  h.rtcDay = 15;
  h.rtcHour = 10;
  h.rtcMinute = 20;
  h.rtcSecond = 3;
  h.gps = {9, 8, 7};
  h.gpsValid = false;
  h.latitude = -33.8568;   // 33 deg 51' 24" S
  h.longitude = 151.2153;  // 151 deg 12' 55" E
  h.altitudeCm = 12345;
  h.velocityCmPerS = 2000;
  h.headingTenths = 1800;
  h.marker = -5;
  TarvikExtPlan plan;
  plan.baseMhz = 869;
  plan.fraction = 400;
  plan.spacing = 62;
  plan.lowest = 100;
  plan.highest = 140;
  TarvikExtLogBuilder log;
  log.Scan(h, Plans(plan)).V(0, 120, 70, 1, 2);
  const auto fields =
      Fields({4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 26,
              27, 28, 29, 32, 33, 34, 35, 36, 37, 38, 39, 40, 46, 47, 48, 49, 22, 30});
  const auto lines = Run(log, fields);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1],
            ",-33.856800,33,51,,24,S,151.215300,151,12,,55,E,INVALID,09:08:07,09,08,07,123,44,S,"
            "-5,1,06/15/04,06,15,04,10:20:03,10,20,03,869.0400,869.2900,6.2,1,,");
}

TEST_F(TarvikExtTest, PositionsAndHeadings) {
  TarvikExtLogBuilder log;
  const std::pair<double, double> positions[] = {{0, 0}, {-0.0001, 0.0001}, {40.5, -74.25}};
  const std::int16_t headings[] = {900, 3488, 1012};
  for (int i = 0; i < 3; ++i) {
    TarvikExtHeader h;
    std::tie(h.latitude, h.longitude) = positions[i];
    h.headingTenths = headings[i];
    log.Scan(h, Plans()).C(0, 5, 70, 1);
  }
  EXPECT_EQ(Run(log, Fields({5, 10, 11, 16, 28})),
            (std::vector<std::string>{"0.000000,S,0.000000,W,E", "-0.000100,S,0.000100,E,N",
                                      "40.500000,N,-74.250000,W,ESE"}));
  EXPECT_STREQ(tarvik_ext::CompassPoint(0), "N");
  EXPECT_STREQ(tarvik_ext::CompassPoint(111), "N");
  EXPECT_STREQ(tarvik_ext::CompassPoint(112), "NNE");
  EXPECT_STREQ(tarvik_ext::CompassPoint(-900), "N");
  EXPECT_STREQ(tarvik_ext::CompassPoint(32767), "N");
  EXPECT_STREQ(tarvik_ext::CompassPoint(2700), "W");
}

// --- Sections and state --------------------------------------------------------------------

TEST_F(TarvikExtTest, FastAndScanRecordsMakeTheSections) {
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).C(0, 5, 70, 1).Scan(At(9, 0, 1), Plans());
  log.Fast(At(9, 0, 2), testing::PresentBlocks({1}, Block(5))).V(0, 6, 71, 1, 1);
  log.Fast(At(9, 0, 3), testing::PresentBlocks({1}, Block(6)));
  log.Scan(At(9, 0, 4), Plans()).C(0, 7, 72, 1);
  const std::string path = Write(log);
  EXPECT_EQ(IndexSections(c, form, path),
            (std::vector<testing::IndexedSection>{
                {1, 1, "09:00:00"}, {2, 0, "09:00:02"}, {3, 1, "09:00:04"}}));

  // Deselecting the fast section drops its records and the readings within it.
  c.Sections().SetTable(SectionStates({true, false, true}));
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({18, 0}), BestServer())),
            (std::vector<std::string>{"09:00:00,870.15000,-70", "09:00:04,870.21000,-72"}));
  c.Sections().ClearTable();
}

TEST_F(TarvikExtTest, PlansListsAndPendingReadingsCarryOverToTheNextFile) {
  form.ChannelField.SetChecked(true);
  TarvikExtLogBuilder first;
  first.Scan(At(9, 0, 0), Plans()).R(0, 1, 10, 61).R(0, 2, 11, 62);
  TarvikExtLogBuilder second;
  second.R(0, 1, 20, 63).S(0, 1, 30, 64, 0);
  EXPECT_TRUE(Run(first, Fields({0})).empty());
  // The second file has no plan of its own; the group begun in the first file is written
  // at its first group opener, and the list stays for the "s" opener.
  EXPECT_EQ(Run(second, Fields({0})),
            (std::vector<std::string>{"870.30000,10,-61,870.33000,11,-62",
                                      "870.30000,10,-61,870.33000,11,-62"}));
}

TEST_F(TarvikExtTest, IndexingLeavesTheReadingsToTheConversion) {
  form.ChannelField.SetChecked(true);
  TarvikExtLogBuilder log;
  log.Scan(At(9, 0, 0), Plans()).R(0, 1, 10, 61).R(0, 2, 11, 62).R(0, 1, 12, 63);
  log.R(0, 2, 13, 64).V(0, 14, 65, 0, 0);
  const std::string path = Write(log);
  TarvikExtConverter fresh;
  const std::string expected = Convert(fresh, form, path, Fields({0}));
  IndexSections(c, form, path);
  EXPECT_EQ(Convert(c, form, path, Fields({0})), expected);
}

}  // namespace
}  // namespace polvane
