// A run never destroys a log nor leaves a half-made output: outputs that are inputs, failed
// reads, failed configuration saves, default names, stale split pieces.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "convert/input_file.h"
#include "convert/output_file.h"
#include "support/bytes.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class RunSafety : public WindowModelTest {
 protected:
  void Choose(const std::string& path) {
    form.ChooseInputFile(path);
    form.WaitForIndexing();
  }
  std::vector<std::string> ConvertNow() {
    // A run with nothing selected is refused before the outputs are looked at.
    if (form.SelectedBox.Count() == 0) form.AddSelectedField(18);
    return WindowModelTest::ConvertNow();
  }
  std::string Refusal(const std::string& path) {
    return "Error: Output File Cannot Be Accessed! (" + path + ": it is an input of this run)";
  }
};

TEST_F(RunSafety, AnOutputThatIsTheInputIsRefusedBeforeAnythingIsWritten) {
  const std::string log = dir.File("x.tvf");
  TarvikScanDrive(3).WriteTo(log);
  const std::string before = ReadFile(log);
  Choose(log);
  // The same name, another spelling, a hard link and a symbolic link to it.
  fs::create_directory(dir.Path() / "sub");
  fs::create_hard_link(log, dir.Path() / "hard.csv");
  fs::create_symlink("x.tvf", dir.Path() / "soft.csv");
  for (const std::string& output :
       {log, dir.File("sub/../x.tvf"), dir.File("hard.csv"), dir.File("soft.csv")}) {
    form.OutputFilename.SetText(output);
    EXPECT_EQ(ConvertNow(), std::vector<std::string>{Refusal(output)});
    EXPECT_EQ(form.ConvertWorker()->Outcome(), RunOutcome::kFailed);
    EXPECT_EQ(ReadFile(log), before);
  }
}

TEST_F(RunSafety, ALogNamedLikeAnOutputIsNotReplacedByItsDerivedName) {
  const std::string log = dir.File("drive.out");  // a log that was given the output extension
  TarvikScanDrive(3).WriteTo(log);
  const std::string before = ReadFile(log);
  Choose(log);
  EXPECT_EQ(form.OutputFilename.Text(), log);
  EXPECT_EQ(ConvertNow(), std::vector<std::string>{Refusal(log)});
  EXPECT_EQ(ReadFile(log), before);
}

TEST_F(RunSafety, FolderOutputsOverTheirOwnLogsAreRefused) {
  for (const char* name : {"a.tvf", "b.tvf"}) TarvikScanDrive(2).WriteTo(dir.File(name));
  const std::string before = ReadFile(dir.File("a.tvf"));
  form.rbMultipleFiles.SetChecked(true);
  form.edInFolder.SetText(dir.Path().string());
  form.edOutFolder.SetText(dir.Path().string());
  form.cbInputExt.SetText("*.tvf");
  form.edOutputExt.SetText(".tvf");
  const auto messages = ConvertNow();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("it is an input of this run"), std::string::npos) << messages[0];
  EXPECT_EQ(ReadFile(dir.File("a.tvf")), before);
}

TEST_F(RunSafety, SplitPiecesAndSideFilesAreNotInputsEither) {
  const std::string log = dir.File("s.tvf");
  TarvikScanDrive(2).WriteTo(log);
  Choose(log);
  // An earlier piece of this output's split is, by a link, the log itself.
  fs::create_directory(dir.Path() / "s");
  fs::create_hard_link(log, dir.Path() / "s" / "s-2.out");
  form.cbSplit.SetChecked(true);
  const std::string piece = (dir.Path() / "s" / "s-2.out").string();
  EXPECT_EQ(ConvertNow(), std::vector<std::string>{Refusal(piece)});
  form.cbSplit.SetChecked(false);
  fs::remove(piece);

  // The PathPro side file of "MLJ.M01" is "MLJ.MDF": here, the log.
  const std::string mdfLog = dir.File("MLJ.MDF");
  TarvikScanDrive(2).WriteTo(mdfLog);
  const std::string before = ReadFile(mdfLog);
  Choose(mdfLog);
  form.OutputFormatGroup.SetItemIndex(6);
  form.OutputFormatGroupChange();
  EXPECT_EQ(form.OutputFilename.Text(), dir.File("MLJ.M01"));  // beside the input
  EXPECT_EQ(ConvertNow(), std::vector<std::string>{Refusal(mdfLog)});
  EXPECT_EQ(ReadFile(mdfLog), before);
  EXPECT_FALSE(fs::exists(dir.File("MLJ.M01")));
}

TEST_F(RunSafety, AFailedReadEndsTheRunAndKeepsTheEarlierOutput) {
  const std::string log = dir.File("big.tvf");
  TarvikScanDrive(20000).WriteTo(log);
  ASSERT_GT(fs::file_size(log), 2 * InputFile::kBufferSize);
  Choose(log);
  const std::string out = dir.File("big.out");
  WriteFile(out, {'o', 'l', 'd'});
  InputFile::SetReadFaultForTesting(InputFile::kBufferSize, EIO);
  const auto messages = ConvertNow();
  InputFile::SetReadFaultForTesting(0, 0);
  EXPECT_EQ(messages, std::vector<std::string>{"Error: Input File Cannot Be Read! (" + log +
                                               ": Input/output error)"});
  EXPECT_EQ(form.ConvertWorker()->Outcome(), RunOutcome::kFailed);
  EXPECT_EQ(ReadFile(out), "old");
  EXPECT_EQ(ConvertNow(), std::vector<std::string>{"Information: Conversion Has Been Completed!"});
}

TEST_F(RunSafety, ConfigurationSavesAreWholeOrNotAtAll) {
  const std::string log = dir.File("c.tvf");
  TarvikScanDrive(1).WriteTo(log);
  Choose(log);
  const std::string cfg = dir.File("run.cfg");
  ASSERT_TRUE(form.SaveConfiguration(cfg));
  const std::string saved = ReadFile(cfg);
  form.FieldTitles.SetChecked(!form.FieldTitles.Checked());
  OutputFile::SetWriteFaultForTesting(ENOSPC);
  EXPECT_EQ(form.SaveConfigurationFailure(cfg), cfg + ": No space left on device");
  host.SaveAnswers.push_back(cfg);
  host.ClearMessages();
  form.SaveConfiguration1Click();  // the window's "Save Configuration" says so too
  OutputFile::SetWriteFaultForTesting(0);
  EXPECT_EQ(host.MessageLines(),
            std::vector<std::string>{"Error: Configuration File Cannot Be Written! (" + cfg +
                                     ": No space left on device)"});
  EXPECT_EQ(ReadFile(cfg), saved);
  EXPECT_EQ(fs::directory_iterator(dir.Path()) == fs::directory_iterator(), false);
  for (const auto& e : fs::directory_iterator(dir.Path()))
    EXPECT_NE(e.path().filename().string().rfind(".pv", 0), 0u) << e.path();

  // A configuration saved over the log would destroy it.
  const std::string before = ReadFile(log);
  EXPECT_EQ(form.SaveConfigurationFailure(log), log + ": it is an input of this run");
  EXPECT_EQ(ReadFile(log), before);
}

TEST_F(RunSafety, DerivedNamesNeverCutIntoTheFolder) {
  fs::create_directory(dir.Path() / "data");
  const std::string cases[][2] = {{"data/log", "data/log.out"},
                                  {"data/ab.c", "data/ab.c.out"},
                                  {"data/drive.tvf", "data/drive.out"},
                                  {"data/d.tvf", "data/d.out"},
                                  {"data/x.t", "data/x.t.out"}};
  for (const auto& [in, want] : cases) {
    TarvikScanDrive(1).WriteTo(dir.File(in));
    Choose(dir.File(in));
    EXPECT_EQ(form.OutputFilename.Text(), dir.File(want)) << in;
  }
  // A preset's bare name goes into the input's folder.
  form.OutputFormatGroup.SetItemIndex(2);
  form.OutputFormatGroupChange();
  EXPECT_EQ(form.OutputFilename.Text(), dir.File("data/test.sdr"));
}

// Writes a file of `lines` numbered lines for the split.
std::string WriteLines(const std::string& path, int lines) {
  std::string text;
  for (int i = 1; i <= lines; ++i) text += std::to_string(i) + "\r\n";
  WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  return path;
}

TEST(SplitPieces, StalePiecesOfALongerRunAreRemovedOthersKept) {
  ScratchDir dir;
  fs::create_directory(dir.Path() / "s");
  for (const char* name :
       {"s-1.out", "s-4.out", "s-7.out", "s-04.out", "s-x.out", "t-5.out", "s-5.csv"})
    WriteFile(dir.Path() / "s" / name, {'o'});
  const std::string out = WriteLines(dir.File("s.out"), 5);
  ASSERT_EQ(SplitOutputFile(out, 2, nullptr), nullptr);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path() / "s"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"s-04.out", "s-1.out", "s-2.out", "s-3.out", "s-5.csv",
                                             "s-x.out", "t-5.out"}));
  EXPECT_EQ(ReadFile(dir.Path() / "s" / "s-3.out"), "5\r\n");
}

TEST(SplitPieces, ACancelledSplitStopsAtOnce) {
  ScratchDir dir;
  const std::string out = WriteLines(dir.File("c.out"), 10000);
  int asked = 0;
  ASSERT_EQ(SplitOutputFile(out, 100, nullptr, [&] { return ++asked > 3; }), nullptr);
  int pieces = 0;
  for (const auto& e : fs::directory_iterator(dir.Path() / "c")) {
    EXPECT_EQ(e.path().filename().string().rfind(".pv", 0), std::string::npos);
    ++pieces;
  }
  EXPECT_LE(pieces, 3);
}

}  // namespace
}  // namespace polvane
