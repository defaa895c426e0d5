// The Drovel reader's fixed layouts: no GPS, the receiver clock, and three readings for
// three-channel data.
#include <gtest/gtest.h>

#include <string>

#include "app/form_controls.h"
#include "products/drovel/drovel_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/drovel_log.h"
#include "support/fixed_layout_reader.h"

namespace polvane {
namespace {

using namespace polvane::testing;

const std::string kZeros42(42, '0');

DrovelData At(int hour, int minute, int second, std::uint8_t flags) {
  DrovelData d;
  d.hour = hour, d.minute = minute, d.second = second;
  d.flags = flags;
  d.readings = {{{9, 70}, {17, 75}, {5, 80}}};
  return d;
}

class DrovelFixed : public ::testing::Test {
 protected:
  DrovelFixed() {
    form.OutputFilename.SetText(dir.File("OUT"));
    log.Setup({450, 1250, 125, 1});  // 450.1250 MHz at channel 1, 12.5 kHz apart
  }

  std::string Run(int format) {
    const std::string input = dir.File("log" + std::to_string(files++) + ".dvf");
    log.WriteTo(input);
    form.OutputFormatGroup.SetItemIndex(format);
    ConversionSettings settings;
    settings.FixedLayout = true;
    settings.OutputFormat = format;
    return Convert(drovel, form, input, Fields({}), settings);
  }

  ScratchDir dir;
  FormControls form;
  DrovelConverter drovel;
  DrovelLogBuilder log;
  int files = 0;
};

TEST_F(DrovelFixed, GraysonWritesThreeReadingsThenTheGLine) {
  log.Data(At(8, 15, 45, kDrovelThreeChannel)).Data(At(8, 15, 46, kDrovelOneChannel));
  log.Data(At(8, 15, 47, kDrovelScan));
  EXPECT_EQ(
      GraysonLines(Run(kFixedGrayson)),
      (std::vector<std::string>{
          "D00000000008", "m154500RCRD" + kZeros42, "r154500045022500070", "r154500045032500075",
          "r154500045017500080", "G0000000000.000000000.000000815450000", "r154600045022500070",
          "G0000000000.000000000.000000815460000", "r154700045022500070",
          "G0000000000.000000000.000000815470000", "m154700IDLE" + kZeros42}));
}

TEST_F(DrovelFixed, PlanetWritesTimeAndZeroPositionOnce) {
  log.Data(At(8, 15, 45, kDrovelThreeChannel)).Data(At(8, 15, 46, kDrovelOneChannel));
  const auto lines = Lines(Run(kFixedPlanet));
  ASSERT_EQ(lines.size(), 9u + 4);
  EXPECT_EQ(lines[9], "08:15:45:00 000.000000 000.000000 REPORT::Report: 450.2250 9 -70");
  EXPECT_EQ(lines[10], " REPORT::Report: 450.3250 17 -75");
  EXPECT_EQ(lines[11], " REPORT::Report: 450.1750 5 -80");
  EXPECT_EQ(lines[12], "08:15:46:00 000.000000 000.000000 REPORT::Report: 450.2250 9 -70");
}

TEST_F(DrovelFixed, PathProHoldsTheLastReadingAndTheClock) {
  log.Data(At(8, 15, 45, kDrovelThreeChannel)).Data(At(8, 15, 46, kDrovelOneChannel));
  form.OutputFilename.SetText(dir.File("survey.m01"));
  const std::string bytes = Run(kFixedPathPro);
  ASSERT_EQ(bytes.size(), 19u + 2 * 28);
  const auto r = M01Records(std::string_view(bytes).substr(19));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].kind, 1);
  EXPECT_EQ(r[0].rssi, -80.0);  // the third reading of the three-channel record
  EXPECT_EQ(r[0].latitude, 0.0);
  EXPECT_EQ(r[0].longitude, 0.0);
  EXPECT_EQ(r[0].hour, 8);
  EXPECT_EQ(r[0].minute, 15);
  EXPECT_EQ(r[0].second, 45);
  EXPECT_EQ(r[1].rssi, -70.0);
  EXPECT_EQ(ReadFile(dir.File("survey.MDF")).size(), 26u);
}

}  // namespace
}  // namespace polvane
