// The Tarvik reader's fixed layouts, through the record loop as the conversion job runs them.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/form_controls.h"
#include "products/tarvik/tarvik_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/fixed_layout_reader.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

const std::string kZeros42(42, '0');

TarvikHeader At(int hour, int minute, int second) {
  TarvikHeader h;
  h.gps = {hour, minute, second};
  h.rtcHour = hour;
  h.rtcMinute = minute;
  h.rtcSecond = second;
  return h;
}

// Four fast blocks on the 870.03 MHz plan (30 kHz steps from channel 1); receiver r dwells on
// channel 10 r with every sample at 60 + r dBm.
std::array<TarvikFastBlock, 4> Blocks() {
  std::array<TarvikFastBlock, 4> blocks;
  for (int r = 0; r < 4; ++r) {
    blocks[r].channel = static_cast<std::uint16_t>(10 * (r + 1));
    blocks[r].samples.assign(512, static_cast<std::uint8_t>(60 + r + 1));
  }
  return blocks;
}

std::array<TarvikScanReceiver, 4> ScanTables() {
  std::array<TarvikScanReceiver, 4> rx;
  for (auto& r : rx) r.entries = {{5, 70}, {6, 75}};
  return rx;
}

class TarvikFixed : public ::testing::Test {
 protected:
  TarvikFixed() { form.OutputFilename.SetText(dir.File("OUT")); }

  // Converts the log in the given layout, with Scan Type "Fast Data" unless told otherwise.
  std::string Run(const TarvikLogBuilder& log, int format, RunState* run = nullptr) {
    const std::string input = dir.File("log" + std::to_string(files++) + ".tvf");
    log.WriteTo(input);
    form.OutputFormatGroup.SetItemIndex(format);
    ConversionSettings settings;
    settings.FixedLayout = true;
    settings.OutputFormat = format;
    return Convert(tarvik, form, input, Fields({}), settings, run);
  }

  ScratchDir dir;
  FormControls form;
  TarvikConverter tarvik;
  int files = 0;
};

TEST_F(TarvikFixed, GraysonWithScanTableWritesZeroReadings) {
  form.ScanTypeGroup.SetItemIndex(0);
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(At(10, 20, 30), Blocks());
  log.Scan(At(10, 20, 31), ScanTables()).Fast(At(10, 20, 32), Blocks());
  const auto lines = GraysonLines(Run(log, kFixedGrayson));
  ASSERT_EQ(lines.size(), 2u + 3 * 2 + 1);
  EXPECT_EQ(lines[2], "r203000000000000000");
  EXPECT_EQ(lines[4], "r203100000000000000");
  EXPECT_EQ(lines[6], "r203200000000000000");
}

TEST_F(TarvikFixed, GraysonReadsTheFirstCheckedReceiverInFastData) {
  form.Receiver1.SetChecked(false);
  form.Receiver3.SetChecked(true);
  form.Receiver4.SetChecked(true);
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(At(10, 20, 30), Blocks());
  const std::string text = Run(log, kFixedGrayson);
  // Nothing but lone carriage returns: no line feed reaches the file.
  EXPECT_EQ(text.find('\n'), std::string::npos);
  // Receiver 3: channel 30, 870.03 + 29 x 0.03 = 870.90 MHz, -63 dBm.
  EXPECT_EQ(GraysonLines(text),
            (std::vector<std::string>{
                "D2024061510", "m203000RCRD" + kZeros42, "r203000087090000063",
                "G203000+045.500000+73.250001020300000", "m203000IDLE" + kZeros42}));
  // No receiver checked: no reading.
  form.Receiver3.SetChecked(false);
  form.Receiver4.SetChecked(false);
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson))[2], "r203000000000000000");
}

TEST_F(TarvikFixed, HeaderCarriesTheFirstWrittenRecordAndTrailerTheLast) {
  TarvikHeader first = At(9, 59, 58);
  first.rtcYear = 91;
  first.rtcMonth = 12;
  first.rtcDay = 31;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(first, Blocks());
  log.Fast(At(10, 0, 1), Blocks()).Scan(At(10, 1, 2), ScanTables());
  const auto lines = GraysonLines(Run(log, kFixedGrayson));
  ASSERT_EQ(lines.size(), 2u + 3 * 2 + 1);
  EXPECT_EQ(lines[0], "D1991123109");
  EXPECT_EQ(lines[1], "m595800RCRD" + kZeros42);
  EXPECT_EQ(lines.back(), "m010200IDLE" + kZeros42);
}

TEST_F(TarvikFixed, TrailerFollowsTheLastDecodedRecordOfADamagedLog) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(At(10, 20, 30), Blocks());
  log.Fast(At(10, 21, 40), Blocks()).Truncate(100);  // the second record is cut short
  const auto lines = GraysonLines(Run(log, kFixedGrayson));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back(), "m203000IDLE" + kZeros42);
}

TEST_F(TarvikFixed, PlanetReportCarriesTheRawChannel) {
  auto blocks = Blocks();
  blocks[0].plan.flags = 0x40;  // offset numbering: raw 40 shows as channel 6
  blocks[0].channel = 40;
  TarvikHeader h = At(10, 20, 30);
  h.latitude = -40.5;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(h, blocks);
  EXPECT_EQ(Run(log, kFixedPlanet),
            "_HEADER\r\nVERSION: 1.00\r\nSYSTEM: Generic\r\n_DEFINITIONS\r\n"
            "DEF_FIELD: Frequency FLOAT\r\nDEF_FIELD: Channel INT\r\nDEF_FIELD: RSSI INT\r\n"
            "DEF_REPORT: Report Frequency Channel RSSI\r\n_MAIN\r\n"
            "10:20:30:00 -40.500000 -73.250000 REPORT::Report: 871.2000 40 -61\r\n");
  // Scan Table: 0.0000, 0 and -0.
  form.ScanTypeGroup.SetItemIndex(0);
  EXPECT_EQ(Lines(Run(log, kFixedPlanet)).back(),
            "10:20:30:00 -40.500000 -73.250000 REPORT::Report: 0.0000 0 -0");
}

TEST_F(TarvikFixed, PlanetSignsFollowTheStoredHemispheres) {
  // Older layout: the hemisphere characters as stored; only "S" and "W" are negative.
  TarvikHeader h = At(1, 2, 3);
  h.latitude = 12.25;
  h.longitude = 3.5;
  h.latHemisphere = 'S';
  h.lonHemisphere = 'X';
  TarvikLogBuilder log(false);
  log.Fast(h, Blocks());
  EXPECT_EQ(Lines(Run(log, kFixedPlanet)).back(),
            "01:02:03:00 -12.250000 3.500000 REPORT::Report: 870.3000 10 -61");
}

TEST_F(TarvikFixed, PathProRecordsDecodeBackAndTheMdfFileIsWritten) {
  TarvikHeader h = At(10, 20, 30);
  h.latitude = 40.5;
  h.longitude = -74.25;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(h, Blocks()).Fast(At(10, 20, 31), Blocks());
  form.OutputFilename.SetText(dir.File("drive.m01"));
  const std::string bytes = Run(log, kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 2 * 28);
  EXPECT_EQ(bytes.substr(0, 19), kM01Header);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].kind, 1);
  EXPECT_EQ(r[0].rssi, -61.0);
  EXPECT_DOUBLE_EQ(r[0].latitude, 40.5);
  EXPECT_DOUBLE_EQ(r[0].longitude, -74.25);
  EXPECT_EQ(r[0].hour, 10);
  EXPECT_EQ(r[0].minute, 20);
  EXPECT_EQ(r[0].second, 30);
  EXPECT_EQ(r[1].second, 31);
  const std::string mdf = ReadFile(dir.File("drive.MDF"));
  ASSERT_EQ(mdf.size(), 26u);
  EXPECT_EQ(mdf.substr(0, 20), "PathView MDF File\x1A\x63\x63");
}

TEST_F(TarvikFixed, PathProRecordWithLineFeedBytesStaysTwentyEightBytes) {
  // A latitude whose double holds the byte 0x0A, as the reader decodes it.
  double latitude = 0;
  for (int mas = 144000000; mas < 148000000 && latitude == 0; mas += 60) {
    const double degrees = DecodeBinaryPosition(mas, 'N', 'S').DecimalDegrees();
    char b[8];
    std::memcpy(b, &degrees, 8);
    if (std::memchr(b, 0x0A, 8)) latitude = mas / 3600000.0;
  }
  ASSERT_NE(latitude, 0);
  TarvikHeader h = At(10, 20, 30);
  h.latitude = latitude;
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(h, Blocks()).Fast(h, Blocks());
  const std::string bytes = Run(log, kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 2 * 28);
  EXPECT_NE(bytes.find('\x0A', 19), std::string::npos);
  EXPECT_EQ(bytes.find("\r\n"), std::string::npos);
}

TEST_F(TarvikFixed, EveryOutputOfARunGetsTheHeader) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(At(10, 20, 30), Blocks());
  log.Fast(At(10, 20, 31), Blocks());
  RunState run;
  const auto first = GraysonLines(Run(log, kFixedGrayson, &run));
  const auto second = GraysonLines(Run(log, kFixedGrayson, &run));
  ASSERT_EQ(first.size(), 2u + 2 * 2 + 1);
  EXPECT_EQ(first[0], "D2024061510");
  EXPECT_EQ(second, first);
  // PathPro: the second output has the M01 header too, and its MDF file is named from the
  // output being written.
  RunState pathPro;
  tarvik.SetOutputName(dir.File("one.m01"));
  EXPECT_EQ(Run(log, kFixedPathPro, &pathPro).size(), 19u + 2 * 28);
  EXPECT_TRUE(std::filesystem::exists(dir.File("one.MDF")));
  tarvik.SetOutputName(dir.File("two.m01"));
  EXPECT_EQ(Run(log, kFixedPathPro, &pathPro).size(), 19u + 2 * 28);
  EXPECT_TRUE(std::filesystem::exists(dir.File("two.MDF")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("OUT.MDF")));  // not the window's output name
}

TEST_F(TarvikFixed, AFileWithoutRecordsGetsTheTrailerOnly) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson)).size(), 1u);
  EXPECT_EQ(Run(log, kFixedPlanet), "");
}

TEST_F(TarvikFixed, InFielderIsNotATarvikLayout) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25").Fast(At(10, 20, 30), Blocks());
  EXPECT_EQ(Run(log, kFixedInFielder), "");
}

}  // namespace
}  // namespace polvane
