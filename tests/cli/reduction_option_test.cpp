// polvane convert --threshold, --traffic and --per-meters: the line reductions from the command
// line, their usage errors, and their keys in a saved configuration.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/bytes.h"
#include "support/command_run.h"
#include "support/conversion.h"
#include "support/drovel_log.h"
#include "support/kes_card_log.h"
#include "support/selvor_log.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class ReductionOption : public ::testing::Test {
 protected:
  ReductionOption() {
    // Four records along a meridian at -70, -80, -90 and -100 dBm and 10 to 40 MPH.
    TarvikMeridianDrive(4).WriteTo(dir.File("drive.tvf"));
    SelvorLogBuilder selvor;
    selvor.Identification("QVX SELVOR", "1.0").Fast({}, {});
    selvor.WriteTo(dir.File("drive.svf"));
    DrovelLogBuilder drovel;
    drovel.Identification("QVX DROVEL", "1.3").Setup({});
    DrovelData d;
    d.flags = kDrovelThreeChannel;
    d.readings = {{{300, 70}, {310, 60}, {320, 80}}};
    drovel.Data(d);
    drovel.WriteTo(dir.File("drive.dvf"));
    KesCardLogBuilder kes;
    kes.WriteTo(dir.File("drive.bin"));
  }
  CommandResult Run(const std::string& args) { return RunPolvane(dir, "convert -q " + args); }
  // The lines of a conversion of the drive: RSSI, then the velocity.
  std::vector<std::string> LinesOf(const std::string& args) {
    const std::string out = dir.File("out.csv");
    const CommandResult r = Run(dir.File("drive.tvf") + " " + out +
                                " --scan-type fast --fields 0,27 --data rssi --no-header " + args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    return Lines(ReadFile(out));
  }
  ScratchDir dir;
};

TEST_F(ReductionOption, EachChoiceActsOnTheLines) {
  EXPECT_EQ(LinesOf(""), (std::vector<std::string>{"-70,10", "-80,20", "-90,30", "-100,40"}));
  EXPECT_EQ(LinesOf("--threshold 'RSSI>-90'"), (std::vector<std::string>{"-70,10", "-80,20"}));
  EXPECT_EQ(LinesOf("--threshold 'RSSI<=-90'"), (std::vector<std::string>{"-90,30", "-100,40"}));
  EXPECT_EQ(LinesOf("--threshold Velocity=20"), (std::vector<std::string>{"-80,20"}));
  // 200 m are passed at the third record: the mean of -70, -80 and -90.
  EXPECT_EQ(LinesOf("--per-meters 200"), (std::vector<std::string>{"-80,30"}));
  // Choices combine: the floor first, then the metres over what is left.
  EXPECT_EQ(LinesOf("--per-meters 200 --threshold 'RSSI>=-80'"), std::vector<std::string>{});
  EXPECT_EQ(LinesOf("--per-meters 100 --threshold 'RSSI>=-80'"),
            (std::vector<std::string>{"-75,20"}));
  // Moving 0.001 degrees a second is no stop.
  EXPECT_EQ(LinesOf("--traffic 0.0005deg,2").size(), 4u);
  EXPECT_EQ(LinesOf("--per-meters 100 --best-server").size(), 3u);
}

TEST_F(ReductionOption, BadValuesAndChoicesTheProductCannotTakeAreUsageErrors) {
  const std::string tarvik = dir.File("drive.tvf") + " ";
  for (const std::string& args : {
           tarvik + "--threshold RSSI",
           tarvik + "--threshold 'Speed>3'",
           tarvik + "--threshold 'RSSI>>3'",
           tarvik + "--threshold 'RSSI>x'",
           tarvik + "--traffic 0.0005",
           tarvik + "--traffic 0,30",
           tarvik + "--traffic 0.0005km,30",
           tarvik + "--traffic 0.0005,-1",
           tarvik + "--per-meters 0",
           tarvik + "--per-meters ten",
           tarvik + "--threshold 'RSSI>-90' --data freq",  // no RSSI column to judge by
           tarvik + "--threshold 'RSSI>-90' -f 3",         // the layouts' levels are no lines
           tarvik + "--per-meters 100 -f 7",
           dir.File("drive.svf") + " --threshold 'Velocity>10'",  // Selvor logs have no speed
           dir.File("drive.dvf") + " --per-meters 100",           // nor Drovel positions
           dir.File("drive.dvf") + " --traffic 0.0005,30",
           dir.File("drive.dvf") + " --channels 300-",
           dir.File("drive.dvf") + " --channels 320-300",
           dir.File("drive.dvf") + " --channels 300 -f 7",
       }) {
    const CommandResult r = Run(args);
    EXPECT_EQ(r.status, 2) << args << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
  }
  EXPECT_NE(Run(dir.File("drive.svf") + " --threshold 'Velocity>10'").err.find("no GPS speed"),
            std::string::npos);
  // A Velocity threshold on a layout whose records carry the speed is applied to its records.
  EXPECT_EQ(Run(tarvik + dir.File("out.pla") + " --threshold 'Velocity>10' -f 7").status, 0);
}

TEST_F(ReductionOption, AChannelListUnderBestServer) {
  const std::string out = dir.File("d.csv");
  auto lines = [&](const std::string& args) {
    const CommandResult r =
        Run(dir.File("drive.dvf") + " " + out +
            " --drovel-mode 3ch --fields 0 --data channel,rssi --no-header " + args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    return Lines(ReadFile(out));
  };
  EXPECT_EQ(lines("--channels 300,315-400"), std::vector<std::string>{"300,-70,320,-80"});
  EXPECT_EQ(lines("--channels 300,315-400 --best-server"), std::vector<std::string>{"300,-70"});
  EXPECT_EQ(lines("--best-server"), std::vector<std::string>{"310,-60"});
}

TEST_F(ReductionOption, AChannelListOnAKesScan) {
  KesScan scan;
  scan.codes = {5, 6, 7};
  KesCardLogBuilder kes;
  kes.Scan(scan).Data(KesDriveClock(0), {80, 60, 70});
  kes.WriteTo(dir.File("scan.bin"));
  const std::string out = dir.File("k.csv");
  const CommandResult r = Run(dir.File("scan.bin") + " " + out +
                              " --fields 0 --data channel,rssi --no-header --channels 5,7");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(ReadFile(out)), std::vector<std::string>{"5,-80,7,-70"});
}

TEST_F(ReductionOption, AConfigurationKeepsEveryChoice) {
  const std::string cfg = dir.File("reduce.cfg");
  ASSERT_EQ(Run(dir.File("drive.tvf") + " " + dir.File("first.csv") +
                " --threshold 'RSSI>=-80' --traffic 0.03min,20 --per-meters 150 --channels 1-5 "
                "--save-config " +
                cfg)
                .status,
            0);
  const std::string text = ReadFile(cfg);
  for (const char* line : {"[Reduction]", "Threshold=1", "ThresholdField=RSSI",
                           "ThresholdComparator=>=", "ThresholdValue=-80", "Traffic=1",
                           "TrafficDistance=0.03", "TrafficUnit=minutes", "TrafficTime=20",
                           "ChannelList=1", "Channels=1-5", "PerMeters=1", "PerMetersValue=150"})
    EXPECT_NE(text.find(std::string(line) + "\n"), std::string::npos) << line << " in\n" << text;
  // Loaded again, the configuration gives the same conversion and saves the same keys.
  const std::string again = dir.File("again.cfg");
  ASSERT_EQ(Run(dir.File("drive.tvf") + " " + dir.File("second.csv") + " -c " + cfg +
                " --save-config " + again)
                .status,
            0);
  EXPECT_EQ(ReadFile(dir.File("first.csv")), ReadFile(dir.File("second.csv")));
  const auto section = [](const std::string& t) { return t.substr(t.find("[Reduction]")); };
  EXPECT_EQ(section(ReadFile(cfg)), section(ReadFile(again)));
}

TEST_F(ReductionOption, AConfigurationWithoutTheSectionLoadsAsBefore) {
  const std::string cfg = dir.File("old.cfg");
  WriteText(cfg, "[Product]\r\nInputFormat=1\r\n[OutputFilter]\r\nNoAvg=1\r\nBSAvg=0\r\n");
  const std::string out = dir.File("out.csv");
  const CommandResult r = Run(dir.File("drive.tvf") + " " + out + " -c " + cfg +
                              " --scan-type fast --fields 0 --data rssi --no-header");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(ReadFile(out)).size(), 4u);
}

}  // namespace
}  // namespace polvane
