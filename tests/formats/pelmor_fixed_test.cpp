// The Pelmor reader's fixed layouts, through the record loop as the conversion job runs them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form_controls.h"
#include "formats/fixed_layouts.h"
#include "products/pelmor/pelmor_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/fixed_layout_reader.h"
#include "support/pelmor_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;
using Strings = std::vector<std::string>;

const std::string kZeros42(42, '0');

// 30 kHz steps, channel 1 at 870.030 MHz.
PelmorPlan Plan30() {
  PelmorPlan p;
  p.first = 29001;
  p.last = 29833;
  p.stepKhz = 30;
  return p;
}

PelmorFix FixAt(int hour, int minute, int second, double lat, double lon) {
  PelmorFix f;
  f.hour = hour;
  f.minute = minute;
  f.second = second;
  f.latitude = lat;
  f.longitude = lon;
  return f;
}

// A clock date of 15 June 2024, a fix at 10:20:30 at 33.5 S 70.25 W and one table record in
// which receiver 1 hears channel 10 at `rssi1` and receiver 2 channel 20 at -90 dBm; then a
// second record at the next fix.
PelmorLogBuilder TableLog(int rssi1 = -85) {
  PelmorLogBuilder log;
  log.Configuration(3, Plan30(), Plan30());
  log.Clock({10, 20, 30, 15, 6, 24}).Fix(FixAt(10, 20, 30, -33.5, -70.25));
  log.TableData({{0, 10, rssi1}, {1, 20, -90}});
  log.Fix(FixAt(10, 21, 40, -33.5, -70.25)).TableData({{0, 11, -70}, {1, 21, -91}});
  return log;
}

class PelmorFixed : public ::testing::Test {
 protected:
  PelmorFixed() {
    form.Receiver2.SetChecked(true);
    form.OutputFilename.SetText(dir.File("OUT"));
  }

  std::string Run(const PelmorLogBuilder& log, int format) {
    const std::string input = dir.File("log" + std::to_string(files++) + ".pvf");
    log.WriteTo(input);
    form.OutputFormatGroup.SetItemIndex(format);
    ConversionSettings settings;
    settings.FixedLayout = true;
    settings.OutputFormat = format;
    return Convert(pelmor, form, input, Fields({}), settings);
  }

  ScratchDir dir;
  FormControls form;
  PelmorConverter pelmor;
  int files = 0;
};

TEST_F(PelmorFixed, GraysonWritesTheLevelMagnitudeAndTheSignedLongitude) {
  EXPECT_EQ(GraysonLines(Run(TableLog(), kFixedGrayson)),
            (Strings{"D2024061510", "m203000RCRD" + kZeros42, "r203000087030000085",
                     "G203000+033.500000-70.250001020300000", "r214000087033000070",
                     "G214000+033.500000-70.250001021400000", "m214000IDLE" + kZeros42}));
}

TEST_F(PelmorFixed, ScanTableOrNoCheckedReceiverGivesNoReading) {
  form.ScanTypeGroup.SetItemIndex(0);
  EXPECT_EQ(GraysonLines(Run(TableLog(), kFixedGrayson))[2], "r203000000000000000");
  form.ScanTypeGroup.SetItemIndex(1);
  // Only receivers 1 and 2 count.
  form.Receiver1.SetChecked(false);
  form.Receiver2.SetChecked(false);
  form.Receiver3.SetChecked(true);
  EXPECT_EQ(GraysonLines(Run(TableLog(), kFixedGrayson))[2], "r203000000000000000");
}

TEST_F(PelmorFixed, ReadingIsTableEntryZeroOfTheFirstCheckedReceiver) {
  form.Receiver1.SetChecked(false);
  // Receiver 2 holds entry 1 of the record: its entry 0 is empty.
  EXPECT_EQ(GraysonLines(Run(TableLog(), kFixedGrayson))[2], "r203000087000000120");
  PelmorLogBuilder log;
  log.Configuration(3, Plan30(), Plan30()).Clock({}).TableData({{1, 20, -90}, {0, 10, -85}});
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson))[2], "r000000087060000090");
}

TEST_F(PelmorFixed, PlanetReportHasFiveDecimalsAndASingleMinus) {
  EXPECT_EQ(Run(TableLog(), kFixedPlanet),
            "_HEADER\r\nVERSION: 1.00\r\nSYSTEM: Generic\r\n_DEFINITIONS\r\n"
            "DEF_FIELD: Frequency FLOAT\r\nDEF_FIELD: Channel INT\r\nDEF_FIELD: RSSI INT\r\n"
            "DEF_REPORT: Report Frequency Channel RSSI\r\n_MAIN\r\n"
            "10:20:30:00 -33.500000 -70.250000 REPORT::Report: 870.30000 10 -85\r\n"
            "10:21:40:00 -33.500000 -70.250000 REPORT::Report: 870.33000 11 -70\r\n");
  // A level above 0 dBm has no magnitude to give: the layouts write 0, never "--".
  EXPECT_EQ(Lines(Run(TableLog(5), kFixedPlanet))[9],
            "10:20:30:00 -33.500000 -70.250000 REPORT::Report: 870.30000 10 -0");
}

TEST_F(PelmorFixed, PathProRecordsCarryTheNegativeLevelAndSignedPosition) {
  form.OutputFilename.SetText(dir.File("drive.m01"));
  const std::string bytes = Run(TableLog(), kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 2 * 28);
  EXPECT_EQ(bytes.substr(0, 19), kM01Header);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].kind, 1);
  EXPECT_EQ(r[0].rssi, -85.0);
  EXPECT_DOUBLE_EQ(r[0].latitude, -33.5);
  EXPECT_DOUBLE_EQ(r[0].longitude, -70.25);
  EXPECT_EQ(r[0].hour, 10);
  EXPECT_EQ(r[0].minute, 20);
  EXPECT_EQ(r[0].second, 30);
  EXPECT_EQ(r[1].rssi, -70.0);
  EXPECT_EQ(r[1].minute, 21);
  EXPECT_EQ(ReadFile(dir.File("drive.MDF")).size(), 26u);
}

TEST_F(PelmorFixed, BufferedSamplesGetARecordEachAtTheirInterpolatedTimeAndPlace) {
  PelmorLogBuilder log;
  log.Configuration(1, Plan30(), Plan30());
  log.Fix(FixAt(8, 0, 0, 40.0, -74.0)).SingleSetup(29010, 29010);
  log.Samples(1, {-60}).Samples(1, {-61});
  log.Fix(FixAt(8, 0, 10, 40.2, -74.4));
  const Strings lines = GraysonLines(Run(log, kFixedGrayson));
  ASSERT_EQ(lines.size(), 7u);
  // The header announced by the set-up record carries the fix before the samples (and no
  // clock date: the log has no clock record); the trailer the last fix.
  EXPECT_EQ(lines[0], "D2000000008");
  EXPECT_EQ(lines[3], "G000000+040.000000-74.000000800000000");
  EXPECT_EQ(lines[5], "G000500+040.100000-74.200000800050000");
  EXPECT_EQ(lines[6], "m001000IDLE" + kZeros42);
}

}  // namespace
}  // namespace polvane
