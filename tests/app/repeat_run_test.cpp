// Runs of the window model that give the output of their own input and settings: a run reads
// through readers of its own, whatever ran before in the window, and every output of a folder
// run is a whole file of its layout, with its own header, trailer and side file.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "formats/fixed_layouts.h"
#include "support/bytes.h"
#include "support/fixed_layout_reader.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr int kPathPro = 6;
constexpr int kGrayson = 3;

std::int64_t FixedStamp() {
  return 1700000000;
}

TarvikHeader At(int hour, int minute, int second) {
  TarvikHeader h;
  h.gps = {hour, minute, second};
  return h;
}

std::array<TarvikFastBlock, 4> Level(std::uint8_t dbm) {
  std::array<TarvikFastBlock, 4> blocks;
  for (auto& b : blocks) b.samples.assign(512, dbm);
  return blocks;
}

std::array<TarvikScanReceiver, 4> OneEntry() {
  std::array<TarvikScanReceiver, 4> rx;
  rx[0].entries = {{5, 70}};
  return rx;
}

class RepeatRun : public WindowModelTest {
 protected:
  RepeatRun() { SetFixedClock(&FixedStamp); }
  ~RepeatRun() override { SetFixedClock(nullptr); }
};

// ---------------------------------------------------------------------------------------------
// The same input and settings give the same output

TEST_F(RepeatRun, ThePathProConversionDoneTwiceGivesTheSameFile) {
  // A scan record before the first fast record: with Scan Type "Fast Data" it has no reading
  // yet, so its PathPro record carries RSSI 0.0; the fast record after it carries -84 dBm.
  const std::string log = dir.File("drive.tvf");
  TarvikLogBuilder b;
  b.Identification("QVX TARVIK", "1.25").Scan(At(10, 20, 30), OneEntry());
  b.Fast(At(10, 20, 31), Level(84)).WriteTo(log);
  form.ChooseInputFile(log);
  form.WaitForIndexing();
  ChooseFormat(kPathPro);
  const std::string output = form.OutputFilename.Text();
  ASSERT_EQ(fs::path(output).filename(), "MLJ.M01");

  ASSERT_EQ(ConvertNow(), kCompleted);
  const std::string first = ReadFile(output);
  ASSERT_EQ(first.substr(0, kM01Header.size()), kM01Header);
  const auto records = M01Records(std::string_view(first).substr(kM01Header.size()));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].rssi, 0.0);
  EXPECT_EQ(records[1].rssi, -84.0);

  ASSERT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(ReadFile(output), first);
}

TEST_F(RepeatRun, AConversionAfterAnotherFileGivesWhatItGivesAlone) {
  // What the readers keep between files stays inside one run: converting another log first
  // changes nothing in the output of the next run.
  const std::string other = dir.File("other.tvf"), log = dir.File("drive.tvf");
  TarvikLogBuilder a;
  a.Identification("QVX TARVIK", "1.25").Fast(At(9, 0, 0), Level(61)).WriteTo(other);
  TarvikLogBuilder b;
  b.Identification("QVX TARVIK", "1.25").Scan(At(10, 20, 30), OneEntry());
  b.Fast(At(10, 20, 31), Level(84)).WriteTo(log);

  form.ChooseInputFile(log);
  form.WaitForIndexing();
  ChooseFormat(kGrayson);
  const std::string output = dir.File("drive.grn");
  form.OutputFilename.SetText(output);
  ASSERT_EQ(ConvertNow(), kCompleted);
  const std::string alone = ReadFile(output);
  // The scan record has no fast reading: frequency and RSSI 0 in its "r" line.
  ASSERT_EQ(GraysonLines(alone).at(2), "r203000000000000000");

  form.ChooseInputFile(other);
  form.WaitForIndexing();
  form.OutputFilename.SetText(dir.File("other.grn"));
  ASSERT_EQ(ConvertNow(), kCompleted);
  form.ChooseInputFile(log);
  form.WaitForIndexing();
  form.OutputFilename.SetText(output);
  ASSERT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(ReadFile(output), alone);
}

// ---------------------------------------------------------------------------------------------
// Every output of a folder run is whole

// Makes `folder` the current directory for the life of the object.
class InFolder {
 public:
  explicit InFolder(const fs::path& folder) : before_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~InFolder() { fs::current_path(before_); }

 private:
  fs::path before_;
};

class FolderRun : public RepeatRun {
 protected:
  FolderRun() {
    for (const char* name : {"logs", "out", "cwd"}) fs::create_directory(dir.Path() / name);
    TarvikLogBuilder b;
    b.Identification("QVX TARVIK", "1.25").Fast(At(10, 20, 30), Level(84));
    b.Fast(At(10, 20, 31), Level(70));
    for (const char* name : {"a.tvf", "b.tvf"}) b.WriteTo(dir.Path() / "logs" / name);
  }
  // Converts both logs into "out" in the layout of list index `format`, from an empty current
  // directory.
  void ConvertFolder(int format, const std::string& ext) {
    InFolder cwd(dir.Path() / "cwd");
    ChooseFolders((dir.Path() / "logs").string(), (dir.Path() / "out").string(), ext);
    ASSERT_EQ(form.CollectFolderFiles(), 2);
    ChooseFormat(format);
    ASSERT_EQ(ConvertNow(), kCompleted);
    EXPECT_TRUE(fs::is_empty(dir.Path() / "cwd"));  // nothing beside the window's output name
  }
  std::string Out(const std::string& name) { return ReadFile(dir.Path() / "out" / name); }
};

TEST_F(FolderRun, EachPathProOutputHasItsHeaderAndItsMdfFileBesideIt) {
  ConvertFolder(kPathPro, ".M01");
  const std::string a = Out("a.M01");
  EXPECT_EQ(Out("b.M01"), a);
  ASSERT_EQ(a.size(), kM01Header.size() + 2 * 28);
  EXPECT_EQ(a.substr(0, kM01Header.size()), kM01Header);
  const auto records = M01Records(std::string_view(a).substr(kM01Header.size()));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].rssi, -84.0);
  EXPECT_EQ(records[1].rssi, -70.0);
  // Each output's side file is named from it, as a single-file run names it.
  for (const char* mdf : {"a.MDF", "b.MDF"}) {
    const std::string bytes = Out(mdf);
    ASSERT_EQ(bytes.size(), 26u) << mdf;
    EXPECT_EQ(bytes.substr(0, 17), "PathView MDF File") << mdf;
  }
  EXPECT_FALSE(fs::exists(dir.Path() / "out" / "MLJ.MDF"));
}

TEST_F(FolderRun, EachGraysonOutputHasItsHeaderAndTrailer) {
  ConvertFolder(kGrayson, ".grn");
  const std::string a = Out("a.grn");
  EXPECT_EQ(Out("b.grn"), a);
  const auto lines = GraysonLines(a);
  ASSERT_EQ(lines.size(), 2u + 2 * 2 + 1);
  EXPECT_EQ(lines[0], "D2024061510");
  EXPECT_EQ(lines[1].substr(0, 11), "m203000RCRD");
  EXPECT_EQ(lines.back().substr(0, 11), "m203100IDLE");
}

TEST_F(FolderRun, AnMdfFileOfAnyOutputThatIsALogOfTheRunIsRefused) {
  // Logs named "*.MDF" converted beside themselves: the side file of x.M01 would be the log x.MDF.
  const fs::path logs = dir.Path() / "logs";
  fs::rename(logs / "b.tvf", logs / "x.MDF");
  const std::string before = ReadFile(logs / "x.MDF");
  InFolder cwd(dir.Path() / "cwd");
  ChooseFolders(logs.string(), logs.string(), ".M01");
  form.cbInputExt.SetText("*.MDF");
  ASSERT_EQ(form.CollectFolderFiles(), 1);
  ChooseFormat(kPathPro);
  const auto messages = ConvertNow();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Error: Output File Cannot Be Accessed!", 0), 0u) << messages[0];
  EXPECT_NE(messages[0].find((logs / "x.MDF").string()), std::string::npos) << messages[0];
  EXPECT_EQ(ReadFile(logs / "x.MDF"), before);
  EXPECT_FALSE(fs::exists(logs / "x.M01"));
}

}  // namespace
}  // namespace polvane
