#include "products/tarvik/tarvik_converter.h"

#include <gtest/gtest.h>

#include "app/form_controls.h"
#include "convert/tree_node.h"
#include "support/conversion.h"
#include "support/section_states.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace testing;

class TarvikTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.ScanTypeGroup.SetItemIndex(1);  // "Fast Data"
  }
  std::string Run(const TarvikLogBuilder& log, const Selection& fields, ConversionSettings s = {}) {
    const std::string path = dir.File("log.tvf");
    log.WriteTo(path);
    return Convert(c, form, path, fields, s);
  }
  std::vector<std::string> RunLines(const TarvikLogBuilder& log, const Selection& fields,
                                    ConversionSettings s = {}) {
    return Lines(Run(log, fields, s));
  }

  ScratchDir dir;
  FormControls form;
  // The reader, with its best-server entries in view.
  struct Reader : TarvikConverter {
    using TarvikConverter::BestEntry;
  } c;
};

std::array<TarvikFastBlock, 4> FastBlocks(int rssi = 80) {
  std::array<TarvikFastBlock, 4> b;
  for (int r = 0; r < 4; ++r) {
    b[r].channel = static_cast<std::uint16_t>(10 + r);
    b[r].samples.assign(512, static_cast<std::uint8_t>(rssi + r));
  }
  return b;
}

TEST_F(TarvikTest, FramingSkipsImplausibleLengthsByteByByte) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  log.Garbage(Bytes().LE32(5000));  // a length above 4096
  log.Fast({}, FastBlocks());
  const std::string path = dir.File("log.tvf");
  log.WriteTo(path);

  ASSERT_EQ(c.OpenInput(path), 0);
  std::vector<std::uint8_t> buffer(kRecordBufferSize);
  const int idLength = 4 + 1 + 4 + 10 + 4 + 4;
  EXPECT_EQ(c.ReadRecord(buffer.data()), idLength);
  // Four skipped bytes of the bad prefix are reported with the next good record.
  EXPECT_EQ(c.ReadRecord(buffer.data()), 4 + 36 + 4 * 708 + 4);
  EXPECT_EQ(buffer[0], 'F');
  EXPECT_EQ(c.ReadRecord(buffer.data()), 0);
  c.CloseInput();
}

TEST_F(TarvikTest, ZeroLengthPrefixesAreSkippedToo) {
  TarvikLogBuilder log(false);
  log.Garbage(Bytes().Zeros(7));
  log.Fast({}, FastBlocks());
  EXPECT_EQ(RunLines(log, Fields({32})), (std::vector<std::string>{"\"Record Number\"", "1"}));
}

TEST_F(TarvikTest, TruncatedLogYieldsItsCompleteRecords) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  log.Fast({}, FastBlocks()).Fast({}, FastBlocks()).Truncate(100);
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(RunLines(log, Fields({32})), (std::vector<std::string>{"1"}));
}

TEST_F(TarvikTest, HeaderLayoutFollowsTheFirmwareVersion) {
  TarvikHeader h;
  h.marker = 321;
  h.gps = {7, 8, 9};
  form.FieldTitles.SetChecked(false);
  for (auto [version, newLayout] : {std::pair{"1.25", true}, {"1.24", false}}) {
    TarvikLogBuilder log(newLayout);
    log.Identification("QVX TARVIK", version).Fast(h, FastBlocks());
    EXPECT_EQ(RunLines(log, Fields({29, 18})), (std::vector<std::string>{"321,07:08:09"}))
        << version;
  }
  // No identification record: the older layout.
  TarvikLogBuilder old(false);
  old.Fast(h, FastBlocks());
  EXPECT_EQ(RunLines(old, Fields({29})), (std::vector<std::string>{"321"}));
  EXPECT_EQ(c.FirmwareVersion, -1);
}

TEST_F(TarvikTest, IdentificationWithBadTextLengthsKeepsTheVersion) {
  TarvikLogBuilder log(false);
  log.Record(Bytes().U8('I').LE32(600).Text("QVX TARVIK"));
  TarvikHeader h;
  h.marker = 5;
  log.Fast(h, FastBlocks());
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(RunLines(log, Fields({29})), (std::vector<std::string>{"5"}));
  EXPECT_EQ(c.FirmwareVersion, -1);
  EXPECT_STREQ(c.ProductText, "");

  TarvikLogBuilder badVersion(false);
  badVersion.Record(Bytes().U8('I').LE32(4).Text("TARV").LE32(0xFFFFFFFF));
  badVersion.Fast(h, FastBlocks());
  EXPECT_EQ(RunLines(badVersion, Fields({29})), (std::vector<std::string>{"5"}));
  EXPECT_STREQ(c.ProductText, "TARV");
  EXPECT_STREQ(c.VersionText, "");
}

TEST_F(TarvikTest, BinaryPositionsAndTheirFields) {
  TarvikHeader h;
  h.latitude = 40.5;  // 40 deg 30.000'
  h.longitude = -(74 + 7.407 / 60);
  h.altitudeCm = 12345;
  h.velocityCmPerS = 2000;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(h, FastBlocks());
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(RunLines(log, Fields({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 26, 27})),
            (std::vector<std::string>{"40.5000,40,30,30.000,0,N,-74.1234,74,7,7.407,24,W,123,44"}));
}

TEST_F(TarvikTest, LatitudeZeroIsSouthWithMinusZero) {
  TarvikHeader h;
  h.latitude = 0;
  h.longitude = 0;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.30").Fast(h, FastBlocks());
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(RunLines(log, Fields({5, 10, 11, 16})),
            (std::vector<std::string>{"-0.0000,S,-0.0000,W"}));
}

TEST_F(TarvikTest, BcdPositionsTakeTheStoredHemisphere) {
  TarvikHeader h;
  h.latitude = 12 + 34.567 / 60;
  h.longitude = 123 + 45.678 / 60;
  h.latHemisphere = 'X';  // anything but "N" is south
  h.lonHemisphere = 'E';
  TarvikLogBuilder log(false);
  log.Fast(h, FastBlocks());
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(RunLines(log, Fields({5, 8, 9, 10, 11, 14})),
            (std::vector<std::string>{"-12.5761,34.567,34,X,123.7613,45.678"}));
}

TEST_F(TarvikTest, ClockAndStatusFields) {
  TarvikHeader h;
  h.rtcYear = 3, h.rtcMonth = 11, h.rtcDay = 9, h.rtcHour = 23, h.rtcMinute = 5, h.rtcSecond = 1;
  h.gpsValid = false;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(h, FastBlocks());
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(RunLines(log, Fields({33, 36, 34, 35, 37, 38, 39, 40, 17})),
            (std::vector<std::string>{"11/09/03,03,11,09,23:05:01,23,05,01,NO"}));
}

TEST_F(TarvikTest, FastDataGroupPerCheckedReceiver) {
  auto blocks = FastBlocks();
  blocks[1].plan = {0x80, 870, 300, 250, 100};
  blocks[1].channel = 98;  // two channels below the base: spacing is signed
  blocks[2].samples.assign(512, 100);
  blocks[2].samples[0] = 99;
  blocks[3].plan.flags = 0x40;
  blocks[3].channel = 0;
  form.Receiver2.SetChecked(true);
  form.Receiver3.SetChecked(true);
  form.Receiver4.SetChecked(true);
  form.ChannelField.SetChecked(true);
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast({}, blocks);
  const auto lines = RunLines(log, Fields({0}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "\"Rec#1 Frequency\",\"Rec#1 Channel\",\"Rec#1 RSSI\",\"Rec#2 Frequency\","
            "\"Rec#2 Channel\",\"Rec#2 RSSI\",\"Rec#3 Frequency\",\"Rec#3 Channel\",\"Rec#3 "
            "RSSI\",\"Rec#4 Frequency\",\"Rec#4 Channel\",\"Rec#4 RSSI\"");
  // Receiver 3: 511 samples of 100 and one of 99 average to 99.998, truncated to 99.
  EXPECT_EQ(lines[1], "870.3000,10,-80,1869.9800,98,-81,870.3600,12,-99,870.0000,989,-83");
}

TEST_F(TarvikTest, UncheckedReceiverIsNotRefreshedAndWritesNothing) {
  form.Receiver2.SetChecked(true);
  form.FieldTitles.SetChecked(false);
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast({}, FastBlocks(60));
  const std::string path = dir.File("a.tvf");
  log.WriteTo(path);
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({0}))),
            (std::vector<std::string>{"870.3000,-60,870.3300,-61"}));
  // Receiver 2 unchecked for a second file: it keeps the block of the first file, and it no
  // longer contributes a column.
  form.Receiver2.SetChecked(false);
  TarvikLogBuilder second;
  second.Identification("QVX TARVIK", "1.25").Fast({}, FastBlocks(70));
  second.WriteTo(path);
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({32, 0}))),
            (std::vector<std::string>{"1,870.3000,-70"}));
  EXPECT_EQ(c.FastRssi(2), 61);
}

TarvikScanReceiver ScanList(std::vector<TarvikScanEntry> entries, std::uint8_t flags = 0) {
  TarvikScanReceiver r;
  r.plan = {flags, 800, 0, 100, 0};
  r.entries = std::move(entries);
  return r;
}

TEST_F(TarvikTest, ScanListsEndAtTheFirstDisplayedChannelZero) {
  std::array<TarvikScanReceiver, 4> rx;
  rx[0] = ScanList({{5, 70}, {6, 71}, {0, 72}, {7, 73}});
  rx[1] = ScanList({{0, 60}, {3, 61}});  // first entry 0: nothing, but still a column
  rx[2] = ScanList({{35, 50}, {0, 51}, {34, 52}, {36, 53}}, 0x40);  // raw 34 shows 0: ends
  for (CheckBox* b : {&form.Receiver2, &form.Receiver3}) b->SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.FieldTitles.SetChecked(false);
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Scan({}, rx);
  EXPECT_EQ(
      RunLines(log, Fields({32, 0, 32})),
      (std::vector<std::string>{"1,800.0500,5,-70,800.0600,6,-71,,800.3500,1,-50,800.0000,989,"
                                "-51,1"}));
}

TEST_F(TarvikTest, ScanTextsFollowEveryPlanChangeAndChannelCollision) {
  // Raw channels 5 and 1029 share a kept text slot; plans change between sweeps, and the two
  // receivers scan the same channel under different plans.
  auto plan = [](std::uint8_t flags, std::uint16_t spacing, std::vector<TarvikScanEntry> e) {
    TarvikScanReceiver r;
    r.plan = {flags, 800, 0, spacing, 0};
    r.entries = std::move(e);
    return r;
  };
  const TarvikScanReceiver second = plan(0, 250, {{5, 60}});
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.FieldTitles.SetChecked(false);
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  log.Scan({}, {plan(0, 100, {{5, 70}, {1029, 71}}), second});
  log.Scan({}, {plan(0, 250, {{5, 70}, {1029, 71}}), second});
  log.Scan({}, {plan(0xC0, 100, {{1029, 70}, {5, 71}, {34, 0}}), second});  // raw 34 ends
  log.Scan({}, {plan(0, 100, {{5, 70}}), second});
  EXPECT_EQ(RunLines(log, Fields({0})),
            (std::vector<std::string>{"800.0500,5,-70,810.2900,1029,-71,800.1250,5,-60",
                                      "800.1250,5,-70,825.7250,1029,-71,800.1250,5,-60",
                                      "1810.2900,995,-70,1800.0500,994,-71,800.1250,5,-60",
                                      "800.0500,5,-70,800.1250,5,-60"}));
}

TEST_F(TarvikTest, BestServerTakesTheStrongestFirstOfEquals) {
  std::array<TarvikScanReceiver, 4> rx;
  rx[0] = ScanList({{5, 90}, {6, 70}, {7, 70}, {8, 95}});
  rx[1] = ScanList({{5, 121}, {6, 130}});  // all too weak: entry 0
  rx[2] = ScanList({{0, 50}, {0, 40}});    // all channels 0: entry 0, which writes nothing
  for (CheckBox* b : {&form.Receiver2, &form.Receiver3}) b->SetChecked(true);
  ConversionSettings best;
  best.ReductionMode = kReduceBestServer;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Scan({}, rx);
  form.ScanTypeGroup.SetItemIndex(0);  // "Scan Table", yet one triple in best server
  EXPECT_EQ(RunLines(log, Fields({0}), best),
            (std::vector<std::string>{"\"Rec#1 Frequency\",\"Rec#1 RSSI\",\"Rec#2 Frequency\","
                                      "\"Rec#2 RSSI\",\"Rec#3 Frequency\",\"Rec#3 RSSI\"",
                                      "800.0600,-70,800.0500,-121,"}));
  EXPECT_EQ(c.BestEntry[0], 1);
  EXPECT_EQ(c.BestEntry[1], 0);
  EXPECT_EQ(c.BestEntry[2], 0);
}

TEST_F(TarvikTest, TitlesFollowTheScanType) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast({}, FastBlocks());
  form.RSSIField.SetChecked(false);
  form.ScanTypeGroup.SetItemIndex(0);
  auto lines = RunLines(log, Fields({0, 32}));
  std::string expected;
  for (int i = 0; i < 80; ++i) expected += "\"Rec#1 Frequency\",";
  EXPECT_EQ(lines[0], expected + "\"Record Number\"");
  form.ScanTypeGroup.SetItemIndex(1);
  lines = RunLines(log, Fields({0, 32}));
  EXPECT_EQ(lines[0], "\"Rec#1 Frequency\",\"Record Number\"");
}

TEST_F(TarvikTest, SectionsAgreeBetweenIndexingAndConversion) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  std::array<TarvikScanReceiver, 4> rx;
  rx[0] = ScanList({{5, 70}});
  int second = 0;
  auto header = [&] {
    TarvikHeader h;
    h.gps = {1, 2, second++};
    return h;
  };
  // Kinds scan, fast, scan, fast, fast, scan: five sections.
  log.Scan(header(), rx).Fast(header(), FastBlocks()).Scan(header(), rx);
  log.Fast(header(), FastBlocks()).Fast(header(), FastBlocks()).Scan(header(), rx);
  const std::string path = dir.File("s.tvf");
  log.WriteTo(path);
  EXPECT_EQ(IndexSections(c, form, path), (std::vector<IndexedSection>{{1, 1, "01:02:00"},
                                                                       {2, 0, "01:02:01"},
                                                                       {3, 1, "01:02:02"},
                                                                       {4, 0, "01:02:03"},
                                                                       {5, 1, "01:02:05"}}));
  // Leave out section 4 (the two fast records): records 4 and 5 are dropped.
  c.Sections().SetTable(SectionStates({true, true, true, false, true}));
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({21}))),
            (std::vector<std::string>{"00", "01", "02", "05"}));
  // In multiple-files mode nothing is left out.
  c.SetBatchMode(true);
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({21}))).size(), 6u);
}

}  // namespace
}  // namespace polvane
