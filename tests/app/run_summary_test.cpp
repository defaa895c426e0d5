// What the window tells of a run beside its gauge (its pace while it converts, how it ended and
// what it wrote), and the colour bands of the map and the KML output as a setting of the form:
// checked in the dialog's terms and kept in configuration files.
#include <gtest/gtest.h>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "support/bytes.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

using namespace testing;

constexpr std::int16_t kGpsTime = 18;

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(RunProgressText, TellsTheRateAndTheTimeLeftOnceThereIsAPace) {
  EXPECT_EQ(RunProgressText(0, 3.0, 0.0, 1, 1), "Converting...");
  EXPECT_EQ(RunProgressText(500, 0.2, 0.1, 1, 1), "Converting...");
  // A quarter done after 10 s: 30 s to go.
  EXPECT_EQ(RunProgressText(25000, 10.0, 0.25, 1, 1), "Converting: 2500 records/s, 0:30 left");
  EXPECT_EQ(RunProgressText(90000, 60.0, 0.01, 3, 7),
            "Converting file 3 of 7: 1500 records/s, 1:39:00 left");
  // Done (or nothing to tell it by): the rate alone.
  EXPECT_EQ(RunProgressText(100, 1.0, 1.0, 1, 1), "Converting: 100 records/s");
}

TEST(RunSummary, SaysHowTheRunEndedWhatItWroteAndWhere) {
  RunSummary done;
  done.Outcome = RunOutcome::kCompleted;
  done.Lines = 4512;
  done.Outputs = {"/d/drive.out"};
  done.FileCount = 1;
  done.FilesConverted = 1;
  EXPECT_EQ(done.Text(), "Completed: 1 file written, 4512 lines: /d/drive.out\n/d/drive.out");

  RunSummary folder;
  folder.Outcome = RunOutcome::kWarned;
  folder.Lines = 1;
  folder.Outputs = {"/o/a.out", "/o/b.out", "/o/c.out"};
  folder.FileCount = 4;
  folder.FilesConverted = 3;
  EXPECT_EQ(folder.Text(),
            "Completed with warnings: 3 files written, 1 line, 3 of 4 logs converted: /o/a.out "
            "and 2 others\n/o/a.out\n/o/b.out\n/o/c.out");

  RunSummary cancelled;
  cancelled.Outcome = RunOutcome::kCancelled;
  cancelled.Records = true;
  cancelled.Lines = 12;
  cancelled.Outputs = {"/d/MLJ.M01"};
  cancelled.LastPartial = true;
  cancelled.FileCount = 1;
  EXPECT_EQ(cancelled.Text(),
            "Cancelled: 1 file written, 12 records; the last file holds only part of its log: "
            "/d/MLJ.M01\n/d/MLJ.M01");

  RunSummary failed;
  failed.Outcome = RunOutcome::kFailed;
  failed.Failure = "Output File Cannot Be Accessed! (/x/y.out: No such file or directory)";
  failed.FileCount = 1;
  EXPECT_EQ(failed.Text(),
            "Failed (Output File Cannot Be Accessed! (/x/y.out: No such file or directory)): 0 "
            "files written, 0 lines");
}

TEST(CheckColorThresholds, TakesThreeLevelsFallingFromGreenToOrange) {
  SignalColors colors;
  EXPECT_EQ(CheckColorThresholds({"-70", "-85", "-100"}, colors), "");
  EXPECT_EQ(colors.Text(), "-70,-85,-100");
  EXPECT_EQ(CheckColorThresholds({" -62.5", "-80 ", "-95"}, colors), "");
  EXPECT_EQ(colors.Text(), "-62.5,-80,-95");

  const std::string untouched = colors.Text();
  EXPECT_EQ(CheckColorThresholds({"-85", "-70", "-100"}, colors),
            "The thresholds must ascend from orange to yellow to green (as in -100, -85, -70 "
            "dBm): the yellow threshold must be below the green one.");
  EXPECT_EQ(CheckColorThresholds({"-70", "-85", "-85"}, colors),
            "The thresholds must ascend from orange to yellow to green (as in -100, -85, -70 "
            "dBm): the orange threshold must be below the yellow one.");
  EXPECT_EQ(CheckColorThresholds({"-70", "strong", "-100"}, colors),
            "The yellow threshold is not a number of dBm: \"strong\".");
  EXPECT_EQ(CheckColorThresholds({"", "-85", "-100"}, colors),
            "The green threshold is not a number of dBm: \"\".");
  EXPECT_EQ(CheckColorThresholds({"-70", "-85", "-100x"}, colors),
            "The orange threshold is not a number of dBm: \"-100x\".");
  EXPECT_EQ(CheckColorThresholds({"5", "-85", "-100"}, colors),
            "The green threshold must lie between -200 and 0 dBm.");
  EXPECT_EQ(CheckColorThresholds({"-70", "-85", "-1e9"}, colors),
            "The orange threshold must lie between -200 and 0 dBm.");
  EXPECT_EQ(CheckColorThresholds({"-70", "nan", "-100"}, colors),
            "The yellow threshold must lie between -200 and 0 dBm.");
  EXPECT_EQ(colors.Text(), untouched);
}

class FormRunTest : public WindowModelTest {
 protected:
  FormRunTest() { form.AutoIndex = false; }
  void ChooseDrive(int scans) {
    TarvikScanDrive(scans).WriteTo(dir.File("drive.tvf"));
    form.ChooseInputFile(dir.File("drive.tvf"));
    form.AddSelectedField(kGpsTime);
  }
};

TEST_F(FormRunTest, ARunClosesConvertAndEndsWithItsSummary) {
  ChooseDrive(10);
  form.OutputFilename.SetText(dir.File("drive.csv"));
  bool closedWhileRunning = false;
  form.RunActive.Changed = [&] {
    if (form.RunActive.Checked()) closedWhileRunning = !form.btnConvert.Enabled();
  };
  form.btnConvertClick();
  form.WaitForConversion();
  EXPECT_TRUE(closedWhileRunning);
  EXPECT_FALSE(form.RunActive.Checked());
  EXPECT_TRUE(form.btnConvert.Enabled());
  EXPECT_EQ(form.RunStatus.Caption(), "Completed: 1 file written, 10 lines: " +
                                          dir.File("drive.csv") + "\n" + dir.File("drive.csv"));
  EXPECT_EQ(host.MessageLines(),
            std::vector<std::string>{"Information: Conversion Has Been Completed!"});

  // A run that cannot write its output is a failed one, and CONVERT opens again.
  form.OutputFilename.SetText(dir.File("missing/drive.csv"));
  form.btnConvertClick();
  form.WaitForConversion();
  EXPECT_TRUE(form.btnConvert.Enabled());
  EXPECT_FALSE(form.RunActive.Checked());
  EXPECT_EQ(form.RunStatus.Caption().rfind("Failed (Output File Cannot Be Accessed! (", 0), 0u)
      << form.RunStatus.Caption();
}

TEST_F(FormRunTest, TheColourBandsGoIntoConfigurationsAndOlderOnesLoadTheUsualBands) {
  ChooseDrive(2);
  form.ColorThresholds.SetText("-60,-75,-90");
  const std::string cfg = dir.File("bands.cfg");
  ASSERT_TRUE(form.SaveConfiguration(cfg));
  EXPECT_NE(ReadFile(cfg).find("[MapColors]\nThresholds=-60,-75,-90\n"), std::string::npos)
      << ReadFile(cfg);

  TestHost otherHost;
  TMainForm loaded(otherHost);
  loaded.AutoIndex = false;
  loaded.LoadConfiguration(cfg);
  EXPECT_EQ(loaded.ColorThresholds.Text(), "-60,-75,-90");
  EXPECT_EQ(loaded.CurrentColors().Band(-80), 2u);

  // A file from before the bands were kept, or one whose list is none, gives the usual bands.
  const std::string old = dir.File("old.cfg");
  WriteText(old, "[Product]\r\nInputFormat=1\r\n[OutputFilter]\r\nNoAvg=1\r\n");
  loaded.LoadConfiguration(old);
  EXPECT_EQ(loaded.ColorThresholds.Text(), kDefaultColorThresholds);
  loaded.ColorThresholds.SetText("-60,-75,-90");
  WriteText(old, "[MapColors]\r\nThresholds=-60,loud\r\n");
  loaded.LoadConfiguration(old);
  EXPECT_EQ(loaded.ColorThresholds.Text(), kDefaultColorThresholds);
}

}  // namespace
}  // namespace polvane
