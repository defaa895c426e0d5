// The extended Tarvik reader's fixed layouts, through the record loop as the conversion job runs
// them.
#include <gtest/gtest.h>

#include <string>

#include "app/form_controls.h"
#include "products/tarvik/tarvik_ext_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/fixed_layout_reader.h"
#include "support/tarvik_ext_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

const std::string kZeros42(42, '0');

TarvikExtHeader At(int hour, int minute, int second) {
  TarvikExtHeader h;
  h.gps = {hour, minute, second};
  h.latitude = -(40 + 30 / 60.0 + 30 / 3600.0);  // 40 deg 30' 30" S
  h.longitude = -74.25;
  return h;
}

// Receiver 2 dwells on channel 102 of a 1450 MHz plan with 0.25 MHz steps from channel 100
// (flag bit 7 adds the 1000 MHz), every sample at 61 dBm; receiver 3 on another plan.
std::array<TarvikExtFastBlock, 4> Blocks() {
  auto blocks = PresentBlocks({2, 3});
  blocks[1].plan = {0x80, 450, 0, 2500, 100, 200, 0};
  blocks[1].channel = 102;
  blocks[1].samples.assign(512, 61);
  blocks[2].channel = 5;
  blocks[2].samples.assign(512, 70);
  return blocks;
}

class TarvikExtFixed : public ::testing::Test {
 protected:
  TarvikExtFixed() {
    form.Receiver1.SetChecked(false);
    form.Receiver2.SetChecked(true);
    form.Receiver3.SetChecked(true);
    form.OutputFilename.SetText(dir.File("OUT"));
  }

  // Converts the log in the given layout, with Scan Type "Fast Data" unless told otherwise.
  std::string Run(const TarvikExtLogBuilder& log, int format) {
    const std::string input = dir.File("log" + std::to_string(files++) + ".tvf");
    log.WriteTo(input);
    form.OutputFormatGroup.SetItemIndex(format);
    ConversionSettings settings;
    settings.FixedLayout = true;
    settings.OutputFormat = format;
    return Convert(c, form, input, Fields({}), settings);
  }

  ScratchDir dir;
  FormControls form;
  TarvikExtConverter c;
  int files = 0;
};

TEST_F(TarvikExtFixed, GraysonWritesOneRecordPerLineYieldingRecord) {
  TarvikExtHeader first = At(10, 20, 30);
  first.rtcYear = 91;
  first.rtcMonth = 12;
  first.rtcDay = 31;
  first.rtcHour = 7;  // the header takes the GPS hour, not the clock's
  TarvikExtHeader later = At(10, 21, 5);
  later.latitude = 12.75;
  later.longitude = 3.5;
  TarvikExtLogBuilder log;
  log.Fast(At(10, 20, 29), PresentBlocks({}));  // yields no line, so no record
  log.Fast(first, Blocks());                    // two receivers, one record
  log.Scan(later, {}).C(1, 150, 80, 1);         // readings keep the last fast reading
  const auto lines = GraysonLines(Run(log, kFixedGrayson));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "D1991123110", "m203000RCRD" + kZeros42, "r203000145050000061",
                       "G203000+040.508333+74.250001020300000", "r210500145050000061",
                       "G210500+012.750000+3.500001021050000", "m210500IDLE" + kZeros42}));

  // Scan Type "Scan Table": no reading.
  form.ScanTypeGroup.SetItemIndex(0);
  EXPECT_EQ(GraysonLines(Run(log, kFixedGrayson))[2], "r203000000000000000");
}

TEST_F(TarvikExtFixed, PlanetAndPathProTakeSignedDegreesAndTheOlderFrequencyRule) {
  // The fast block's plan as the older Tarvik reads it: bit 7 adds 1000 MHz, a stored spacing
  // of 62 counts as 0.0062 MHz, and the report carries the raw channel.
  auto blocks = Blocks();
  blocks[1].plan = {0xC0, 450, 0, 62, 100, 200, 0};
  blocks[1].channel = 108;
  TarvikExtLogBuilder log;
  log.Fast(At(10, 20, 30), blocks).Fast(At(10, 20, 31), blocks);
  EXPECT_EQ(Lines(Run(log, kFixedPlanet)).back(),
            "10:20:31:00 -40.508333 -74.250000 REPORT::Report: 1450.0496 108 -61");

  form.OutputFilename.SetText(dir.File("drive.m01"));
  const std::string bytes = Run(log, kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 2 * 28);
  EXPECT_EQ(bytes.substr(0, 19), kM01Header);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].rssi, -61.0);
  EXPECT_DOUBLE_EQ(r[0].latitude, -40.508333333333333);
  EXPECT_DOUBLE_EQ(r[0].longitude, -74.25);
  EXPECT_EQ(r[1].second, 31);
  EXPECT_EQ(ReadFile(dir.File("drive.MDF")).size(), 26u);
}

TEST_F(TarvikExtFixed, InFielderIsNotATarvikLayout) {
  TarvikExtLogBuilder log;
  log.Fast(At(10, 20, 30), Blocks());
  EXPECT_EQ(Run(log, kFixedInFielder), "");
}

}  // namespace
}  // namespace polvane
