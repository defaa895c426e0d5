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

class RepeatRun : public ::testing::Test {
 protected:
  RepeatRun() { SetFixedClock(&FixedStamp); }
  ~RepeatRun() override { SetFixedClock(nullptr); }

  void ChooseFormat(int index) {
    form.OutputFormatGroup.SetItemIndex(index);
    form.OutputFormatGroupChange();
  }
  std::vector<std::string> ConvertNow() {
    host.ClearMessages();
    form.btnConvertClick();
    form.WaitForConversion();
    return host.MessageLines();
  }
  // A folder run of every "*.tvf" in `in` into `out`, with output extension `ext`.
  void ChooseFolders(const std::string& in, const std::string& out, const std::string& ext) {
    form.rbMultipleFiles.SetChecked(true);
    form.FileModeClick();
    form.edInFolder.SetText(in);
    form.edOutFolder.SetText(out);
    form.cbInputExt.SetText("*.tvf");
    form.edOutputExt.SetText(ext);
  }

  ScratchDir dir;
  TestHost host;
  TMainForm form{host};
};

const std::vector<std::string> kCompleted{"Information: Conversion Has Been Completed!"};

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

}  // namespace
}  // namespace polvane
