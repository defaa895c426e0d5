// The command-line contract, checked through the polvane executable.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/bytes.h"
#include "support/command_run.h"
#include "support/conversion.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace testing;

class CliTest : public ::testing::Test {
 protected:
  CommandResult Run(const std::string& args) { return RunPolvane(dir, args); }
  std::string Log(const std::string& name = "drive.tvf") {
    const std::string path = dir.File(name);
    TarvikLogBuilder log;
    log.Identification("QVX TARVIK", "1.25");
    std::array<TarvikScanReceiver, 4> rx;
    rx[0].entries = {{5, 70}, {6, 60}};
    rx[1].entries = {{7, 80}, {8, 65}};
    TarvikHeader h;
    h.latitude = 40.25;
    log.Scan(h, rx).Scan(h, rx).Fast(h, {}).Scan(h, rx);
    log.WriteTo(path);
    return path;
  }
  ScratchDir dir;
};

TEST_F(CliTest, IdentifyPrintsCodeAndLabelPerFile) {
  const std::string good = Log();
  CommandResult r = Run("identify " + good);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, good + "\t1\tQVX Tarvik\n");
  WriteFile(dir.File("x.bin"), {0, 0, 0, 0});
  r = Run("identify " + good + " " + dir.File("x.bin"));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, good + "\t1\tQVX Tarvik\n" + dir.File("x.bin") + "\t0\t(None)\n");
}

TEST_F(CliTest, FieldsListsTheOfferInOrder) {
  CommandResult r = Run("fields " + Log());
  EXPECT_EQ(r.status, 0);
  const auto lines = Lines(r.out);  // plain LF lines: one line holds it all
  EXPECT_EQ(r.out.substr(0, 28), "0\t<< DATA >>\n4\tCR / LF\n5\tLat");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30);
  EXPECT_EQ(Run("fields " + dir.File("none.tvf")).err, "Error: Input File Does Not Exist! (" +
                                                           dir.File("none.tvf") +
                                                           ": No such file or directory)\n");
  WriteFile(dir.File("u.tvf"), {9, 9, 9, 9, 9});
  r = Run("fields " + dir.File("u.tvf"));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Warning: File is not from a QVX CW product.\n");
}

TEST_F(CliTest, IndexPrintsTheTree) {
  CommandResult r = Run("index " + Log());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Scan Data\n  1\t10:20:30\n  3\t10:20:30\nFast Data\n  2\t10:20:30\n");
}

TEST_F(CliTest, ConvertWithFieldsReceiversAndBestServer) {
  const std::string in = Log(), out = dir.File("out.csv");
  CommandResult r =
      Run("convert " + in + " -o " + out + " --fields 5,0,18 --receivers 1,2 --best-server");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Information: Conversion Has Been Completed!\n");
  const auto lines = Lines(ReadFile(out));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            "\"Latitude (Decimal Degrees)\",\"Rec#1 Frequency\",\"Rec#1 RSSI\",\"Rec#2 "
            "Frequency\",\"Rec#2 RSSI\",\"GPS Time (HH:MM:SS)\"");
  EXPECT_EQ(lines[1], "40.2500,870.1800,-60,870.2400,-65,10:20:30");
  EXPECT_EQ(lines[3], "40.2500,870.0300,-80,870.0300,-80,10:20:30");  // the fast record
}

TEST_F(CliTest, ConvertDefaultsNameAndFields) {
  const std::string in = Log("day1.tvf");
  CommandResult r = Run("convert " + in + " -q --no-header -d tab");
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(ReadFile(dir.File("day1.out")));
  ASSERT_EQ(lines.size(), 4u);
  // Every offered field but "CR / LF": the data group, then 28 more columns.
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), '\t'), 2 * 2 - 1 + 28);
}

TEST_F(CliTest, ConvertLeavesOutDeselectedSections) {
  const std::string in = Log(), out = dir.File("d.csv");
  CommandResult r = Run("convert " + in + " " + out + " --fields 17 --no-header --deselect 1,2");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(ReadFile(out)), (std::vector<std::string>{"OK"}));
  EXPECT_EQ(Run("convert " + in + " " + out + " --deselect 9").status, 2);
}

TEST_F(CliTest, ErrorsAndUsage) {
  const std::string in = Log();
  CommandResult r = Run("convert " + dir.File("missing.tvf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Input File Does Not Exist! (" + dir.File("missing.tvf") +
                       ": No such file or directory)\n");
  WriteFile(dir.File("junk.tvf"), {1, 2, 3});
  r = Run("convert " + dir.File("junk.tvf"));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Warning: File is not from a QVX CW product.\n");
  for (const char* bad : {"--fields 45", "--receivers 5", "--data sat", "-d other:ab",
                          "-d other:", "-d pipe", "--scan-type slow", "-f 17",
                          "-c "
                          "/no/such.cfg",
                          "--bogus"}) {
    r = Run("convert " + in + " " + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << bad << ": " << r.err;
  }
  r = Run("convert " + in + " " + dir.File("no/dir/x.out") + " -q");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Output File Cannot Be Accessed! (" + dir.File("no/dir/x.out") +
                       ": No such file or directory)\n");
}

TEST_F(CliTest, FolderModeAndSavedConfiguration) {
  std::filesystem::create_directories(dir.Path() / "in");
  std::filesystem::create_directories(dir.Path() / "out");
  Log("in/a.tvf");
  Log("in/b.tvf");
  const std::string cfg = dir.File("run.cfg");
  CommandResult r =
      Run("convert --folder " + dir.File("in") + " --out-folder " + dir.File("out") +
          " --ext '*.tvf' --out-ext .txt --fields 17,29 -d semicolon --save-config " + cfg);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(ReadFile(dir.Path() / "out" / "b.txt")).size(), 5u);
  EXPECT_NE(ReadFile(cfg).find("Delimiter=1"), std::string::npos);
  // The saved settings reproduce the same output for a single file.
  r = Run("convert " + dir.File("in/a.tvf") + " " + dir.File("again.txt") + " -c " + cfg);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.File("again.txt")), ReadFile(dir.Path() / "out" / "a.txt"));
  // A folder whose first file is of no known product: it is skipped aloud, the logs converted.
  WriteFile(dir.Path() / "in" / "0.tvf", {1, 2});
  r = Run("convert --folder " + dir.File("in") + " --out-folder " + dir.File("out") +
          " --ext '*.tvf'");
  EXPECT_EQ(r.status, 4);
  // A folder of no log at all.
  std::filesystem::create_directories(dir.Path() / "junk");
  WriteFile(dir.Path() / "junk" / "0.tvf", {1, 2});
  r = Run("convert --folder " + dir.File("junk") + " --out-folder " + dir.File("out") +
          " --ext '*.tvf'");
  EXPECT_EQ(r.status, 3);
  // No matching file at all: count 0, completed.
  r = Run("convert --folder " + dir.File("in") + " --out-folder " + dir.File("out"));
  EXPECT_EQ(r.status, 0);
}

// True when a temporary output file of a run lies in the folder.
bool TemporaryIn(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    if (e.path().filename().string().rfind(".pv", 0) == 0) return true;
  return false;
}

// Ctrl-C, SIGTERM and SIGHUP stop a conversion in order, and no temporary file stays behind.
TEST_F(CliTest, InterruptedConversionKeepsItsOutputButDoesNotClaimSuccess) {
  // Enough scan records that the conversion is still running when the interrupt arrives.
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  std::array<TarvikScanReceiver, 4> rx;
  for (auto& r : rx)
    for (int e = 0; e < 80; ++e)
      r.entries.push_back({static_cast<std::uint16_t>(e + 1), static_cast<std::uint8_t>(e)});
  for (int i = 0; i < 20000; ++i) log.Scan({}, rx);
  const std::string in = dir.File("long.tvf"), out = dir.File("long.csv");
  log.WriteTo(in);
  const std::string err = dir.File("stderr");
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    std::filesystem::remove(out);
    const pid_t pid = fork();
    if (pid == 0) {
      std::freopen(err.c_str(), "w", stderr);
      execl(POLVANE_CLI, POLVANE_CLI, "convert", in.c_str(), out.c_str(), "-q", "--fields", "0",
            "-r", "1,2,3,4", "--scan-type", "table", static_cast<char*>(nullptr));
      _exit(127);
    }
    // The conversion has begun once its temporary file exists beside the target.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!TemporaryIn(dir.Path()) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << sig;
    EXPECT_EQ(WEXITSTATUS(status), 1) << sig;
    EXPECT_NE(ReadFile(err).find("interrupted"), std::string::npos) << ReadFile(err);
    // What was converted stays, as after "CANCEL"; it is only part of the file.
    ASSERT_TRUE(std::filesystem::exists(out)) << sig;
    EXPECT_LT(Lines(ReadFile(out)).size(), 20001u);
    EXPECT_FALSE(TemporaryIn(dir.Path())) << sig;
  }
}

}  // namespace
}  // namespace polvane
