#include "products/selvor/selvor_converter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/form_controls.h"
#include "convert/identify.h"
#include "convert/tree_node.h"
#include "support/conversion.h"
#include "support/section_states.h"
#include "support/selvor_log.h"

namespace polvane {
namespace {

using namespace testing;

class SelvorTest : public ::testing::Test {
 protected:
  SelvorTest() {}

  std::string Write(const SelvorLogBuilder& log) {
    const std::string path = dir.File("log" + std::to_string(files++) + ".svf");
    log.WriteTo(path);
    return path;
  }
  std::vector<std::string> ConvertLines(const SelvorLogBuilder& log, const Selection& fields,
                                        ConversionSettings settings = {}) {
    return Lines(Convert(c, form, Write(log), fields, settings));
  }

  ScratchDir dir;
  int files = 0;
  FormControls form;
  // The reader, with its best-server entries in view.
  struct Reader : SelvorConverter {
    using SelvorConverter::BestEntry;
  } c;
};

SelvorHead At(int hour, int minute, int second) {
  SelvorHead h;
  h.gpsHour = hour;
  h.gpsMinute = minute;
  h.gpsSecond = second;
  return h;
}

SelvorScanReceiver Table(std::vector<SelvorScanEntry> entries, SelvorPlan plan = {}) {
  return {plan, std::move(entries)};
}

TEST_F(SelvorTest, IdentifiedByTheProductNameOfItsFirstRecord) {
  SelvorLogBuilder log;
  log.Identification("QVX SELVOR CW RECEIVER", "2.10").Fast({}, {});
  EXPECT_EQ(IdentifyProduct(Write(log)), kProductSelvor);
}

TEST_F(SelvorTest, FieldTableOfTheHead) {
  SelvorHead h;
  h.rtcYear = 24, h.rtcMonth = 6, h.rtcDay = 15;
  h.rtcHour = 10, h.rtcMinute = 20, h.rtcSecond = 30;
  h.gpsHour = 11, h.gpsMinute = 22, h.gpsSecond = 33;
  h.gpsValid = false;
  h.latitude = {40, 30, 500, 'S'};
  h.longitude = {74, 7, 400, 'W'};
  h.marker = 513;
  SelvorLogBuilder log;
  log.Identification("QVX SELVOR", "1.0").Fast(h, {});
  const auto lines =
      ConvertLines(log, Fields({5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                                18, 19, 20, 21, 29, 33, 36, 34, 35, 37, 38, 39, 40}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1],
            "-40.5083,40,30,30.500,30,S,-74.1233,74,7,7.400,24,W,NO,11:22:33,11,22,33,513,"
            "06/15/24,24,06,15,10:20:30,10,20,30");

  h.latitude.hemisphere = 'N';
  h.longitude.hemisphere = 'E';
  h.gpsValid = true;
  SelvorLogBuilder north;
  north.Fast(h, {});
  EXPECT_EQ(ConvertLines(north, Fields({5, 11, 17}))[1], "40.5083,74.1233,OK");
}

TEST_F(SelvorTest, FastValuesOfBothReceivers) {
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  std::array<SelvorFastBlock, 2> blocks;
  blocks[0].code = 11;  // 870.0300 + 10 x 0.0300
  blocks[1].plan = {0xC0, 1, 0, 100, 0};
  blocks[1].code = 5;
  blocks[1].samples.assign(512, 100);
  blocks[1].samples[7] = 101;
  SelvorLogBuilder log;
  log.Fast({}, blocks);
  const auto lines = ConvertLines(log, Fields({0}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "\"Rec#1 Frequency\",\"Rec#1 Channel\",\"Rec#1 RSSI\","
            "\"Rec#2 Frequency\",\"Rec#2 Channel\",\"Rec#2 RSSI\"");
  // Flag bits 7 and 6 add 1000 and 0.01 MHz: 1 + 1000 + 0.01 + 5 x 0.0100 MHz. Code 5 in the
  // offset numbering is channel 994. 511 samples of 100 and one of 101 average to 100.
  EXPECT_EQ(lines[1], "870.3300,11,-80,1001.0600,994,-100");
}

TEST_F(SelvorTest, ReceiverTwoAloneKeepsItsNumber) {
  form.Receiver1.SetChecked(false);
  form.Receiver2.SetChecked(true);
  std::array<SelvorFastBlock, 2> blocks;
  blocks[0].code = 50;
  blocks[1].code = 2;
  SelvorLogBuilder log;
  log.Fast({}, blocks);
  const auto lines = ConvertLines(log, Fields({0, 29}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], ",\"Rec#2 Frequency\",\"Rec#2 RSSI\",\"Marker Value\"");
  EXPECT_EQ(lines[1], ",870.0600,-80,0");
}

TEST_F(SelvorTest, TitlesFollowTheScanTypeChoiceNotTheRecords) {
  form.Receiver2.SetChecked(true);
  form.ScanTypeGroup.SetItemIndex(0);  // "Scan Table" over a file of fast records
  SelvorLogBuilder log;
  log.Fast({}, {});
  const auto lines = ConvertLines(log, Fields({0}));
  ASSERT_EQ(lines.size(), 2u);
  auto count = [&](const std::string& what) {
    int n = 0;
    for (std::size_t at = lines[0].find(what); at != std::string::npos;
         at = lines[0].find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("\"Rec#1 Frequency\""), 80);
  EXPECT_EQ(count("\"Rec#2 RSSI\""), 80);
  EXPECT_EQ(count(","), 80 * 4 - 1);
  EXPECT_EQ(lines[1], "870.0300,-80,870.0300,-80");

  // Best server writes one group whatever the choice.
  ConversionSettings best;
  best.ReductionMode = kReduceBestServer;
  EXPECT_EQ(ConvertLines(log, Fields({0}), best)[0],
            "\"Rec#1 Frequency\",\"Rec#1 RSSI\",\"Rec#2 Frequency\",\"Rec#2 RSSI\"");
}

TEST_F(SelvorTest, ScanTableEndsAtTheFirstChannelZero) {
  form.ChannelField.SetChecked(true);
  form.Receiver2.SetChecked(true);
  SelvorPlan offset{0x40, 870, 0, 250, 34};
  SelvorLogBuilder log;
  log.Scan({}, {Table({{10, 70}, {11, 71}, {0, 72}, {12, 73}}),
                Table({{0, 60}, {35, 61}, {34, 62}, {36, 63}}, offset)});
  const auto lines = ConvertLines(log, Fields({0}));
  ASSERT_EQ(lines.size(), 2u);
  // Receiver 1: code 0 ends the table after two entries. Receiver 2 (offset numbering, base
  // 870.0100 MHz at code 34): code 0 is channel 989 and goes on, code 34 is channel 0 and ends.
  EXPECT_EQ(lines[1], "870.3000,10,-70,870.3300,11,-71,869.1600,989,-60,870.0350,1,-61");
}

TEST_F(SelvorTest, ScanTextsFollowEveryPlanChangeAndCodeCollision) {
  // Codes 10 and 1034 share a kept text slot; the set-up changes from sweep to sweep.
  form.ChannelField.SetChecked(true);
  const SelvorPlan a{}, narrow{0, 870, 300, 250, 1}, high{0x80, 870, 300, 300, 1};
  SelvorLogBuilder log;
  log.Scan({}, {Table({{10, 70}, {1034, 71}}, a), Table({})});
  log.Scan({}, {Table({{10, 70}, {1034, 71}}, narrow), Table({})});
  log.Scan({}, {Table({{10, 70}}, high), Table({})});
  log.Scan({}, {Table({{1034, 71}, {10, 70}}, a), Table({})});
  const auto lines = ConvertLines(log, Fields({0}));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"870.3000,10,-70,901.0200,1034,-71",
                                      "870.2550,10,-70,895.8550,1034,-71", "1870.3000,10,-70",
                                      "901.0200,1034,-71,870.3000,10,-70"}));
}

TEST_F(SelvorTest, EmptyScanTableStillCountsAsAColumnGroup) {
  form.Receiver2.SetChecked(true);
  SelvorLogBuilder log;
  log.Scan({}, {Table({}), Table({{5, 90}})});
  EXPECT_EQ(ConvertLines(log, Fields({0}))[1], ",870.1500,-90");
}

TEST_F(SelvorTest, BestServerPassesOverChannelCodeZero) {
  form.ChannelField.SetChecked(true);
  form.Receiver2.SetChecked(true);
  ConversionSettings best;
  best.ReductionMode = kReduceBestServer;
  SelvorLogBuilder log;
  log.Scan({}, {Table({{120, 80}, {0, 10}, {121, 70}}), Table({{5, 121}, {6, 130}})});
  const auto lines = ConvertLines(log, Fields({0}), best);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(c.BestEntry[0], 2);
  // Receiver 2: nothing is stronger than -121 dBm, so entry 0 stays chosen.
  EXPECT_EQ(c.BestEntry[1], 0);
  EXPECT_EQ(lines[1], "873.6300,121,-70,870.1500,5,-121");
}

TEST_F(SelvorTest, SectionsFollowTheRecordKind) {
  SelvorLogBuilder log;
  log.Identification("QVX SELVOR", "1.0");
  log.Fast(At(9, 0, 0), {}).Fast(At(9, 0, 1), {});
  log.Scan(At(9, 0, 2), {Table({{3, 70}}), {}});
  log.Fast(At(9, 0, 3), {});
  const std::string path = Write(log);
  EXPECT_EQ(IndexSections(c, form, path),
            (std::vector<IndexedSection>{{1, selvor::kSlotFast, "09:00:00"},
                                         {2, selvor::kSlotScan, "09:00:02"},
                                         {3, selvor::kSlotFast, "09:00:03"}}));

  c.Sections().SetTable(SectionStates({true, false, true}));
  EXPECT_EQ(
      Lines(Convert(c, form, path, Fields({18}))),
      (std::vector<std::string>{"\"GPS Time (HH:MM:SS)\"", "09:00:00", "09:00:01", "09:00:03"}));
  c.SetBatchMode(true);
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({18}))).size(), 5u);
  c.Sections().ClearTable();
}

TEST_F(SelvorTest, BadLengthsSkipOnlyTheirOwnFourBytes) {
  SelvorLogBuilder log;
  log.Fast(At(8, 0, 0), {});
  log.Length(0).Fast(At(8, 0, 1), {});
  log.Length(5000).Fast(At(8, 0, 2), {});
  log.Length(-7).Fast(At(8, 0, 3), {});
  const std::string path = Write(log);

  ASSERT_EQ(c.OpenInput(path), 0);
  std::uint8_t buffer[kRecordBufferSize];
  std::vector<int> consumed;
  std::uint64_t total = 0;
  for (int n; (n = c.ReadRecord(buffer)) != 0;) {
    consumed.push_back(n);
    total += static_cast<std::uint64_t>(n);
    if (n == 4) {
      EXPECT_EQ(c.ParseRecord(buffer), kActionNone);
    }
  }
  c.CloseInput();
  EXPECT_EQ(consumed, (std::vector<int>{1087, 4, 1087, 4, 1087, 4, 1087}));
  EXPECT_EQ(total, log.Data().size());

  EXPECT_EQ(Lines(Convert(c, form, path, Fields({18}))),
            (std::vector<std::string>{"\"GPS Time (HH:MM:SS)\"", "08:00:00", "08:00:01", "08:00:02",
                                      "08:00:03"}));
}

TEST_F(SelvorTest, DamagedTailKeepsTheGoodRecords) {
  SelvorLogBuilder log;
  log.Fast(At(8, 0, 0), {});
  log.Scan(At(8, 0, 1), {Table({{3, 70}}), {}});
  log.Truncate(100);
  EXPECT_EQ(Lines(Convert(c, form, Write(log), Fields({18, 0}))),
            (std::vector<std::string>{"\"GPS Time (HH:MM:SS)\",\"Rec#1 Frequency\",\"Rec#1 RSSI\"",
                                      "08:00:00,870.0300,-80"}));

  // A record cut short by its own length decodes as zeros beyond its end.
  SelvorLogBuilder shortRecord;
  Bytes head = SelvorLogBuilder::HeadBytes('S', At(8, 0, 2));
  shortRecord.Record(head);
  EXPECT_EQ(Lines(Convert(c, form, Write(shortRecord), Fields({18, 0})))[1], "08:00:02,");
}

TEST_F(SelvorTest, RandomRecordsOfEveryLengthConvertWithoutHarm) {
  std::mt19937 random(7);
  SelvorLogBuilder log;
  const char types[] = {'F', 'S', 'I', 'X'};
  for (int i = 0; i < 60; ++i) {
    Bytes body;
    body.U8(static_cast<std::uint8_t>(types[random() % 4]));
    const int length = 1 + static_cast<int>(random() % 4096);
    for (int k = 1; k < length; ++k) body.U8(static_cast<std::uint8_t>(random()));
    log.Record(body);
  }
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.ScanTypeGroup.SetItemIndex(0);
  const std::string path = Write(log);
  ConversionSettings best;
  best.ReductionMode = kReduceBestServer;
  for (const ConversionSettings& settings : {ConversionSettings{}, best}) {
    const auto lines = Lines(Convert(c, form, path, Fields({0, 5, 11, 18, 29, 33, 37}), settings));
    EXPECT_GT(lines.size(), 1u);
  }
  EXPECT_FALSE(IndexSections(c, form, path).empty());
}

}  // namespace
}  // namespace polvane
