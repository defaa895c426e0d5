// The Selvor reader's fixed layouts, through the record loop as the conversion job runs them.
#include <gtest/gtest.h>

#include <string>

#include "app/form_controls.h"
#include "products/selvor/selvor_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/fixed_layout_reader.h"
#include "support/selvor_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

const std::string kZeros42(42, '0');

SelvorHead At(int hour, int minute, int second) {
  SelvorHead h;
  h.gpsHour = hour;
  h.gpsMinute = minute;
  h.gpsSecond = second;
  return h;
}

// Receiver 1 on channel code 11 of the 870.03 MHz plan at -61 dBm; receiver 2 on code 5 of
// the offset-numbered 1001.01 MHz plan at -72 dBm.
std::array<SelvorFastBlock, 2> Blocks() {
  std::array<SelvorFastBlock, 2> blocks;
  blocks[0].code = 11;
  blocks[0].samples.assign(512, 61);
  blocks[1].plan = {0xC0, 1, 0, 100, 0};
  blocks[1].code = 5;
  blocks[1].samples.assign(512, 72);
  return blocks;
}

class SelvorFixed : public ::testing::Test {
 protected:
  SelvorFixed() { form.OutputFilename.SetText(dir.File("OUT")); }

  std::string Run(const SelvorLogBuilder& log, int format) {
    const std::string input = dir.File("log" + std::to_string(files++) + ".svf");
    log.WriteTo(input);
    form.OutputFormatGroup.SetItemIndex(format);
    ConversionSettings settings;
    settings.FixedLayout = true;
    settings.OutputFormat = format;
    return Convert(selvor, form, input, Fields({}), settings);
  }

  ScratchDir dir;
  FormControls form;
  SelvorConverter selvor;
  int files = 0;
};

TEST_F(SelvorFixed, GraysonReadsTheFirstCheckedReceiverUnderFastData) {
  SelvorHead first = At(9, 59, 58);
  first.rtcYear = 91, first.rtcMonth = 12, first.rtcDay = 31;
  first.latitude = {40, 30, 500, 'S'};
  first.longitude = {74, 7, 407, 'W'};
  SelvorLogBuilder log;
  log.Identification("QVX SELVOR", "1.0").Fast(first, Blocks());
  log.Scan(At(10, 1, 2), {});
  // Receiver 2 alone: 1001.0600 MHz; the hemispheres are not applied in the "G" line.
  form.Receiver1.SetChecked(false);
  form.Receiver2.SetChecked(true);
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson)),
            (std::vector<std::string>{
                "D1991123109", "m595800RCRD" + kZeros42, "r595800100106000072",
                "G595800+040.508333+74.123450959580000", "r010200100106000072",
                "G010200+045.500000+73.250001001020000", "m010200IDLE" + kZeros42}));
  // "Scan Table" chosen: no reading, whatever the record.
  form.ScanTypeGroup.SetItemIndex(0);
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson))[2], "r595800000000000000");
  // No receiver checked: no reading either.
  form.ScanTypeGroup.SetItemIndex(1);
  form.Receiver2.SetChecked(false);
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson))[2], "r595800000000000000");
}

TEST_F(SelvorFixed, PlanetReportCarriesTheStoredChannelCode) {
  form.Receiver1.SetChecked(false);
  form.Receiver2.SetChecked(true);
  SelvorLogBuilder log;
  log.Fast(At(10, 20, 30), Blocks());
  // Code 5 is channel 994 in the offset numbering; the report carries the code.
  EXPECT_EQ(Lines(Run(log, kFixedPlanet)).back(),
            "10:20:30:00 45.500000 -73.250000 REPORT::Report: 1001.0600 5 -72");
  form.ScanTypeGroup.SetItemIndex(0);
  EXPECT_EQ(Lines(Run(log, kFixedPlanet)).back(),
            "10:20:30:00 45.500000 -73.250000 REPORT::Report: 0.0000 0 -0");
}

TEST_F(SelvorFixed, PathProRecordsCarryTheNegatedSignal) {
  SelvorLogBuilder log;
  log.Fast(At(10, 20, 30), Blocks()).Scan(At(10, 20, 31), {});
  form.OutputFilename.SetText(dir.File("drive.m01"));
  const std::string bytes = Run(log, kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 2 * 28);
  EXPECT_EQ(bytes.substr(0, 19), kM01Header);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].rssi, -61.0);
  EXPECT_DOUBLE_EQ(r[0].latitude, 45.5);
  EXPECT_DOUBLE_EQ(r[0].longitude, -73.25);
  EXPECT_EQ(r[0].second, 30);
  // The reading follows the Scan Type choice, so the scan record still carries the last fast
  // block's signal.
  EXPECT_EQ(r[1].rssi, -61.0);
  EXPECT_EQ(r[1].second, 31);
  EXPECT_EQ(ReadFile(dir.File("drive.MDF")).size(), 26u);
}

TEST_F(SelvorFixed, InFielderIsNotASelvorLayout) {
  SelvorLogBuilder log;
  log.Fast(At(10, 20, 30), Blocks());
  EXPECT_EQ(Run(log, kFixedInFielder), "");
}

}  // namespace
}  // namespace polvane
