// A folder run converts the logs of its product and skips every other file aloud: the closing
// message names each skipped file with its reason, and the run ends with warnings.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "convert/input_file.h"
#include "support/bytes.h"
#include "support/kes_card_log.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// A Kes PC-card log of a one-channel scan with a few readings.
void WriteKesCard(const fs::path& path) {
  KesCardLogBuilder log("QVX KES CW RECEIVER V1.05");
  KesScan scan;
  scan.type = 3;
  scan.codes = {212};
  log.Scan(scan);
  for (int i = 0; i < 3; ++i) log.Data(KesDriveClock(i), {static_cast<std::uint8_t>(60 + i)});
  log.WriteTo(path.string());
}

class FolderSkip : public WindowModelTest {
 protected:
  void SetUp() override {
    fs::create_directories(in);
    fs::create_directories(out);
  }
  // Converts every "*.tvf" of the input folder as "CONVERT" does in multiple-files mode.
  std::vector<std::string> ConvertFolder() {
    ChooseFolders(in.string(), out.string(), ".csv");
    form.AddSelectedField(18);
    return ConvertNow();
  }
  static std::string Skipped(const fs::path& file, const std::string& reason) {
    return "\nInput File Skipped! (" + file.string() + ": " + reason + ")";
  }

  const fs::path in = dir.Path() / "in", out = dir.Path() / "out";
};

TEST_F(FolderSkip, ALogOfAnotherProductIsSkippedNotConvertedAsTheRunsProduct) {
  TarvikScanDrive(2).WriteTo((in / "a.tvf").string());
  WriteKesCard(in / "b.tvf");  // a Kes PC-card log among Tarvik logs
  TarvikScanDrive(2).WriteTo((in / "c.tvf").string());
  EXPECT_EQ(
      ConvertFolder(),
      std::vector<std::string>{"Warning: Conversion Has Been Completed! (converted 2, skipped 1)" +
                               Skipped(in / "b.tvf", "a log of another product")});
  EXPECT_EQ(form.ConvertWorker()->Outcome(), RunOutcome::kWarned);
  EXPECT_TRUE(fs::exists(out / "a.csv"));
  EXPECT_FALSE(fs::exists(out / "b.csv"));
  EXPECT_TRUE(fs::exists(out / "c.csv"));
}

TEST_F(FolderSkip, AFileThatCannotBeReadIsSkippedWithTheSystemsReason) {
  TarvikScanDrive(2).WriteTo((in / "a.tvf").string());
  TarvikScanDrive(2).WriteTo((in / "b.tvf").string());
  TarvikScanDrive(2).WriteTo((in / "c.tvf").string());
  // A failing disk under one file: its first read fails. Taken for a file of no product, it
  // would be skipped for the wrong reason.
  InputFile::SetReadFaultForTesting(0, EIO, (in / "b.tvf").string());
  const std::vector<std::string> messages = ConvertFolder();
  InputFile::SetReadFaultForTesting(0, 0);
  EXPECT_EQ(messages, std::vector<std::string>{
                          "Warning: Conversion Has Been Completed! (converted 2, skipped 1)" +
                          Skipped(in / "b.tvf", "Input/output error")});
  EXPECT_EQ(form.ConvertWorker()->Outcome(), RunOutcome::kWarned);
  EXPECT_FALSE(fs::exists(out / "b.csv"));
  EXPECT_TRUE(fs::exists(out / "c.csv"));
}

TEST_F(FolderSkip, AFileTheUserMayNotReadIsSkippedWithTheSystemsReason) {
  if (geteuid() == 0) GTEST_SKIP() << "root may read any file";
  TarvikScanDrive(2).WriteTo((in / "a.tvf").string());
  TarvikScanDrive(2).WriteTo((in / "b.tvf").string());
  TarvikScanDrive(2).WriteTo((in / "c.tvf").string());
  ASSERT_EQ(chmod((in / "b.tvf").c_str(), 0), 0);
  EXPECT_EQ(
      ConvertFolder(),
      std::vector<std::string>{"Warning: Conversion Has Been Completed! (converted 2, skipped 1)" +
                               Skipped(in / "b.tvf", "Permission denied")});
  chmod((in / "b.tvf").c_str(), 0644);
}

}  // namespace
}  // namespace polvane
