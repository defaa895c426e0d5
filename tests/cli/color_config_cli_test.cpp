// polvane convert and the colour bands of the KML output as a setting: --color-thresholds is
// saved with --save-config, a configuration's bands colour a KML written with it, and the option
// goes over the configuration's.
#include <gtest/gtest.h>

#include <string>

#include "support/bytes.h"
#include "support/command_run.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

class ColorConfig : public ::testing::Test {
 protected:
  ColorConfig() {
    // Records at -70, -80, -90 and -100 dBm, each with a position.
    TarvikMeridianDrive(4).WriteTo(dir.File("drive.tvf"));
  }
  int Run(const std::string& args) {
    const CommandResult r = RunPolvane(dir, "convert -q " + dir.File("drive.tvf") + " " + args);
    WriteFile(dir.File("err"), std::vector<std::uint8_t>(r.err.begin(), r.err.end()));
    return r.status;
  }
  ScratchDir dir;
};

TEST_F(ColorConfig, TheBandsGoWithTheConfigurationIntoTheKml) {
  const std::string cfg = dir.File("bands.cfg");
  ASSERT_EQ(Run(dir.File("first.kml") + " -f kml --scan-type fast --fields 0 --data rssi " +
                "--color-thresholds=-95,-75,-85 --save-config " + cfg),
            0)
      << ReadFile(dir.File("err"));
  // Saved strongest first, as the window's dialog shows them.
  EXPECT_NE(ReadFile(cfg).find("[MapColors]\nThresholds=-75,-85,-95\n"), std::string::npos)
      << ReadFile(cfg);
  EXPECT_NE(ReadFile(dir.File("first.kml")).find("-75 to -85 dBm"), std::string::npos);

  // The configuration alone gives the KML its bands.
  ASSERT_EQ(Run(dir.File("second.kml") + " -c " + cfg), 0) << ReadFile(dir.File("err"));
  const std::string second = ReadFile(dir.File("second.kml"));
  EXPECT_NE(second.find("-75 to -85 dBm"), std::string::npos);
  EXPECT_EQ(second.find("-70 to -85 dBm"), std::string::npos);

  // The option goes over the configuration's bands.
  ASSERT_EQ(Run(dir.File("third.kml") + " -c " + cfg + " --color-thresholds=-60,-90"), 0)
      << ReadFile(dir.File("err"));
  const std::string third = ReadFile(dir.File("third.kml"));
  EXPECT_NE(third.find("-60 to -90 dBm"), std::string::npos);
  EXPECT_EQ(third.find("-75 to -85 dBm"), std::string::npos);
}

}  // namespace
}  // namespace polvane
