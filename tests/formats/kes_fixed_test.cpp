// The Kes readers' fixed layouts, through the record loop as the conversion job runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form_controls.h"
#include "formats/fixed_layouts.h"
#include "products/kes/kes_card_converter.h"
#include "products/kes/kes_dump_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/fixed_layout_reader.h"
#include "support/kes_card_log.h"
#include "support/kes_dump_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

const std::string kZeros42(42, '0');
const std::vector<std::string> kInFielderHeader = {"Zanrovi, Inc.",
                                                   "TYPE:\tMANUAL_DATA_ENTRY",
                                                   "MEASUREMENT RUN:\t",
                                                   "NOTES: Kes File",
                                                   "TRANSMITTER:\tT1",
                                                   "TX LOCATION:\t0\t0\t0",
                                                   "X\tY\tZ\tMARKER\tRSSI(dBm)\tNOTES",
                                                   std::string(47, '_')};

class KesFixed : public ::testing::Test {
 protected:
  KesFixed()
      : card(std::make_unique<KesCardConverter>()), dump(std::make_unique<KesDumpConverter>()) {
    form.OutputFilename.SetText(dir.File("OUT"));
  }

  template <class Log>
  std::string Run(ProductConverter& c, const Log& log, int format) {
    const std::string input = dir.File("log" + std::to_string(files++));
    log.WriteTo(input);
    form.OutputFormatGroup.SetItemIndex(format);
    ConversionSettings settings;
    settings.FixedLayout = true;
    settings.OutputFormat = format;
    return Convert(c, form, input, Fields({}), settings);
  }

  // A PC-card drive: a GPS fix at 10:20:30, a position record, a scan of channels 35 and 36
  // (851.8625 and 851.8875 MHz) and one data record.
  KesCardLogBuilder CardLog() {
    KesCardLogBuilder log;
    KesGpsFix fix;
    fix.gps = {10, 20, 30};
    fix.latitude = 40.5;
    fix.longitude = -74.25;
    log.Gps(fix).Position({10, 20, 29}, 1500, 42);
    KesScan scan;
    scan.codes = {35, 36};
    scan.flags = 0x80;
    log.Scan(scan).Data({10, 20, 31}, {70, 75});
    return log;
  }

  // A PC-dump record of four channels on the 870.03 MHz plan with 30 kHz steps, offset
  // numbering, at GPS time 08:09:10.
  KesDumpLogBuilder DumpLog() {
    KesDumpLogBuilder log;
    KesDumpSetup plan;
    plan.flags = 0x10;
    KesDumpGps gps;
    gps.gps = {8, 9, 10};
    gps.latitude = -33.5;
    gps.longitude = 151.25;
    KesDumpRecord r;
    r.channels = {{40, 61}, {41, 62}, {42, 63}, {43, 64}};
    r.odometerOrY = 7;
    r.markerOrX = 9;
    r.year = 99;
    r.month = 1;
    r.day = 2;
    log.Setup(plan).Gps(gps).Data(r);
    return log;
  }

  ScratchDir dir;
  FormControls form;
  std::unique_ptr<KesCardConverter> card;
  std::unique_ptr<KesDumpConverter> dump;
  int files = 0;
};

TEST_F(KesFixed, CardGraysonReadsTheChannelOfTheFirstCheckedReceiver) {
  EXPECT_EQ(GraysonLines(Run(*card, CardLog(), kFixedGrayson)),
            (std::vector<std::string>{
                "D2024061510", "m203000RCRD" + kZeros42, "r203000085186250070",
                "G203000+040.500000+74.250001020300000", "m203000IDLE" + kZeros42}));
  form.Receiver1.SetChecked(false);
  EXPECT_EQ(GraysonLines(Run(*card, CardLog(), kFixedGrayson))[2], "r203000000000000000");
}

TEST_F(KesFixed, CardPlanetReportsTheChannelCodeAsStored) {
  const auto lines = Lines(Run(*card, CardLog(), kFixedPlanet));
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "_HEADER");
  EXPECT_EQ(lines[9], "10:20:30:00 40.500000 -74.250000 REPORT::Report: 851.8625 35 -70");
}

TEST_F(KesFixed, CardPathProRecordCarriesTheSelectedSample) {
  form.OutputFilename.SetText(dir.File("drive.m01"));
  const std::string bytes = Run(*card, CardLog(), kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 28);
  EXPECT_EQ(bytes.substr(0, 19), kM01Header);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].rssi, -70);
  EXPECT_DOUBLE_EQ(r[0].latitude, 40.5);
  EXPECT_DOUBLE_EQ(r[0].longitude, -74.25);
  EXPECT_EQ(r[0].hour * 10000 + r[0].minute * 100 + r[0].second, 102030);
  EXPECT_TRUE(std::filesystem::exists(dir.File("drive.MDF")));
}

TEST_F(KesFixed, CardInFielderTakesMarkerForXAndTheFirstChannel) {
  form.Receiver1.SetChecked(false);
  std::vector<std::string> expected = kInFielderHeader;
  expected.push_back("42.00\t1500.00\t0.00\t42\t-70\tXXX");
  EXPECT_EQ(Lines(Run(*card, CardLog(), kFixedInFielder)), expected);
}

TEST_F(KesFixed, CardSweepsWriteOneRecordEach) {
  KesCardLogBuilder log;
  KesScan scan;
  scan.codes = {1};
  scan.type = 8;
  log.Scan(scan).Data({}, {70, 71, 72});
  EXPECT_EQ(GraysonLines(Run(*card, log, kFixedGrayson)).size(), 2u + 3 * 2 + 1);
}

TEST_F(KesFixed, DumpGraysonWritesAnRLinePerChannelThenOneGLine) {
  const auto lines = GraysonLines(Run(*dump, DumpLog(), kFixedGrayson));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "D1999010208", "m091000RCRD" + kZeros42, "r091000087120000061",
                       "r091000087123000062", "r091000087126000063", "r091000087129000064",
                       "G091000+033.500000+151.250000809100000", "m091000IDLE" + kZeros42}));
}

TEST_F(KesFixed, DumpPlanetWritesALinePerChannelWithItsChannelNumber) {
  const auto lines = Lines(Run(*dump, DumpLog(), kFixedPlanet));
  ASSERT_EQ(lines.size(), 9u + 4);
  EXPECT_EQ(lines[9], "08:09:10:00 -33.500000 151.250000 REPORT::Report: 871.2000 6 -61");
  EXPECT_EQ(lines[12], "08:09:10:00 -33.500000 151.250000 REPORT::Report: 871.2900 9 -64");
}

TEST_F(KesFixed, DumpPathProWritesARecordPerChannel) {
  form.OutputFilename.SetText(dir.File("dump.m01"));
  const std::string bytes = Run(*dump, DumpLog(), kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 4 * 28);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].rssi, -61);
  EXPECT_EQ(r[3].rssi, -64);
  EXPECT_DOUBLE_EQ(r[3].latitude, -33.5);
}

TEST_F(KesFixed, DumpInFielderWritesALinePerChannel) {
  std::vector<std::string> expected = kInFielderHeader;
  for (int s = 61; s <= 64; ++s)
    expected.push_back("9.00\t7.00\t0.00\t9\t-" + std::to_string(s) + "\tXXX");
  EXPECT_EQ(Lines(Run(*dump, DumpLog(), kFixedInFielder)), expected);
}

TEST_F(KesFixed, DumpRecordWithoutChannelsStillWritesItsGLine) {
  KesDumpLogBuilder log;
  log.Setup({}).Data(KesDumpRecord{});
  const auto lines = GraysonLines(Run(*dump, log, kFixedGrayson));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2][0], 'G');
}

}  // namespace
}  // namespace polvane
