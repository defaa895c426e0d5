// polvane convert --lambda SPEED[mph|kmh]: 40-wavelength averaging from the command line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/bytes.h"
#include "support/command_run.h"
#include "support/conversion.h"
#include "support/drovel_log.h"
#include "support/kes_dump_log.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

class LambdaOption : public ::testing::Test {
 protected:
  LambdaOption() {
    TarvikLogBuilder log;
    log.Identification("QVX TARVIK", "1.25");
    TarvikFastBlock b;
    b.plan.baseMhz = 900;
    b.plan.fraction = 0;
    log.Fast({}, {b});
    log.WriteTo(dir.File("drive.tvf"));
  }
  CommandResult Run(const std::string& args) { return RunPolvane(dir, "convert -q " + args); }
  std::size_t LinesOf(const std::string& args) {
    const std::string out = dir.File("out.csv");
    EXPECT_EQ(Run(dir.File("drive.tvf") + " " + out + " --fields 0 --no-header " + args).status, 0);
    return Lines(ReadFile(out)).size();
  }
  ScratchDir dir;
};

TEST_F(LambdaOption, SpeedAndUnitSetTheWindow) {
  EXPECT_EQ(LinesOf(""), 1u);
  EXPECT_EQ(LinesOf("--lambda 30"), 42u);  // 30 MPH at 900 MHz: windows of 12 samples
  EXPECT_EQ(LinesOf("--lambda 30mph"), 42u);
  EXPECT_EQ(LinesOf("--lambda 48.27kmh"), 42u);
  EXPECT_EQ(LinesOf("--lambda 0"), 512u);               // no speed: every sample
  EXPECT_EQ(LinesOf("--lambda 30 --best-server"), 1u);  // best server wins
}

TEST_F(LambdaOption, UsageErrors) {
  DrovelLogBuilder drovel;
  drovel.Identification("QVX DROVEL", "1.3").Setup({});
  drovel.WriteTo(dir.File("drive.dvf"));
  for (const std::string& args :
       {dir.File("drive.tvf") + " --lambda fast", dir.File("drive.tvf") + " --lambda 30knots",
        dir.File("drive.tvf") + " --lambda -5", dir.File("drive.tvf") + " --lambda kmh",
        dir.File("drive.dvf") + " --lambda 30"}) {
    const CommandResult r = Run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
  }
}

TEST_F(LambdaOption, KesDumpFilesGatherTheirAverageInformationFirst) {
  KesDumpSetup plan;
  plan.baseMhz = 900;
  plan.fraction = 0;
  KesDumpLogBuilder log;
  log.Setup(plan);
  // 200 records in one second: windows of 4 records at 900 MHz and 30 MPH.
  for (int i = 0; i < 200; ++i) {
    KesDumpRecord r;
    r.channels = {{1, static_cast<std::uint8_t>(60 + i % 4)}};
    log.Data(r);
  }
  std::filesystem::create_directories(dir.Path() / "in");
  log.WriteTo(dir.File("in/drive.kes"));
  const std::string out = dir.File("out.csv");
  const CommandResult r =
      Run(dir.File("in/drive.kes") + " " + out + " --lambda 30 --fields 0 --data rssi --no-header");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "Information: Information Has Been Gathered!\n"
            "Information: 200 Records\n1 Seconds\n200 Records Per Second\n"
            "Information: Conversion Has Been Completed!\n");
  const auto lines = Lines(ReadFile(out));
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines[0], "-61");  // (60 + 61 + 62 + 63) / 4
  // A folder holds no one file to gather from.
  const CommandResult folder = Run("--folder " + dir.File("in") + " --out-folder " +
                                   dir.File("in") + " --ext '*.kes' --lambda 30");
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(std::count(folder.err.begin(), folder.err.end(), '\n'), 1) << folder.err;
}

}  // namespace
}  // namespace polvane
