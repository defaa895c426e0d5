// The command line never replaces its input, never blocks on a special file and reports the
// files it refuses with the reason.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/bytes.h"
#include "support/command_run.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class CliSafety : public ::testing::Test {
 protected:
  // Runs polvane; a run that blocks is ended after 20 seconds (status -1).
  CommandResult Run(const std::string& args) { return RunPolvane(dir, args, 20); }
  std::string Log(const std::string& name) {
    const std::string path = dir.File(name);
    TarvikLogBuilder log;
    log.Identification("QVX TARVIK", "1.25");
    std::array<TarvikScanReceiver, 4> rx;
    rx[0].entries = {{5, 70}, {6, 60}};
    TarvikHeader h;
    log.Scan(h, rx).Scan(h, rx);
    log.WriteTo(path);
    return path;
  }
  static std::string Refused(const std::string& path) {
    return "Error: Output File Cannot Be Accessed! (" + path + ": it is an input of this run)\n";
  }
  ScratchDir dir;
};

TEST_F(CliSafety, NoRunReplacesItsInput) {
  const std::string log = Log("x.tvf");
  const std::string before = ReadFile(log);
  CommandResult r = Run("convert -q " + log + " " + log);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Refused(log));
  // The derived name of a log called *.out is the log itself.
  const std::string out = Log("drive.out");
  r = Run("convert -q " + out);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Refused(out));
  // Folder mode writing each log over itself.
  r = Run("convert -q --folder " + dir.Path().string() + " --out-folder " + dir.Path().string() +
          " --ext '*.tvf' --out-ext .tvf");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("it is an input of this run"), std::string::npos) << r.err;
  // A configuration saved over the log.
  r = Run("convert -q " + log + " " + dir.File("x.csv") + " --save-config " + log);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Configuration File Cannot Be Written! (" + log +
                       ": it is an input of this run)\n");
  EXPECT_FALSE(fs::exists(dir.File("x.csv")));
  EXPECT_EQ(ReadFile(log), before);
  EXPECT_EQ(ReadFile(out), before);
}

TEST_F(CliSafety, ShortNamesKeepTheirOutputInTheirFolder) {
  fs::create_directory(dir.Path() / "data");
  WriteFile(dir.File("data.out"), {'k', 'e', 'e', 'p'});  // an unrelated file beside the folder
  const std::string log = Log("data/log");
  CommandResult r = Run("convert -q " + log);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.File("data/log.out")));
  EXPECT_EQ(ReadFile(dir.File("data.out")), "keep");
}

TEST_F(CliSafety, SpecialFilesAreRefusedAtOnce) {
  const std::string fifo = dir.File("pipe.tvf");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string refusal =
      "Error: Input File Does Not Exist! (" + fifo + ": not a regular file)\n";
  CommandResult r = Run("identify " + fifo);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, fifo + "\t0\t(None)\n");
  for (const char* command : {"fields ", "index -q ", "convert -q "}) {
    r = Run(command + fifo);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err, refusal) << command;
  }
}

TEST_F(CliSafety, AConfigurationThatIsNoPlainFileIsRefusedAtOnce) {
  const std::string log = Log("c.tvf"), fifo = dir.File("pipe.cfg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  CommandResult r = Run("convert -q " + log + " " + dir.File("c.csv") + " --config " + fifo);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "polvane: --config: " + fifo + ": not a regular file\n");
  r = Run("convert -q " + log + " " + dir.File("c.csv") + " -c " + dir.File("none.cfg"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "polvane: --config: " + dir.File("none.cfg") + ": No such file or directory\n");
  // Saved: refused before the conversion, and the FIFO stays what it is.
  r = Run("convert -q " + log + " " + dir.File("c.csv") + " --save-config " + fifo);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Error: Configuration File Cannot Be Written! (" + fifo + ": not a regular file)\n");
  EXPECT_FALSE(fs::exists(dir.File("c.csv")));
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(CliSafety, TargetsThatAreNotPlainFiles) {
  const std::string log = Log("t.tvf");
  CommandResult r = Run("convert -q " + log + " /dev/null");
  EXPECT_EQ(r.status, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  r = Run("convert -q " + log + " /dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Output File Cannot Be Accessed! (/dev/full: No space left on device)\n");
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  // A link: its target is written, the link stays.
  WriteFile(dir.File("real.csv"), {'o'});
  fs::create_symlink("real.csv", dir.Path() / "link.csv");
  r = Run("convert -q " + log + " " + dir.File("link.csv"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "link.csv")));
  EXPECT_GT(fs::file_size(dir.File("real.csv")), 1u);
  // A read-only output is refused with the reason, as opening it for writing would be.
  if (geteuid() != 0) {
    WriteFile(dir.File("ro.csv"), {'o'});
    ASSERT_EQ(chmod(dir.File("ro.csv").c_str(), 0444), 0);
    r = Run("convert -q " + log + " " + dir.File("ro.csv"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Output File Cannot Be Accessed! (" + dir.File("ro.csv") +
                         ": Permission denied)\n");
    EXPECT_EQ(ReadFile(dir.File("ro.csv")), "o");
  }
}

}  // namespace
}  // namespace polvane

namespace polvane {
namespace {

TEST_F(CliSafety, FolderRunsSkipWhatIsNoLogAloud) {
  fs::create_directory(dir.Path() / "in");
  fs::create_directory(dir.Path() / "out");
  // Sorting first: an empty file, a dangling link, a FIFO and a file of no product.
  WriteFile(dir.File("in/0-empty.tvf"), {});
  fs::create_symlink("nowhere.tvf", dir.Path() / "in" / "1-dangling.tvf");
  ASSERT_EQ(mkfifo(dir.File("in/2-pipe.tvf").c_str(), 0600), 0);
  WriteFile(dir.File("in/3-junk.tvf"), {9, 9, 9, 9, 9, 9});
  Log("in/4-drive.tvf");
  Log("in/5-drive.TVF");  // matched without regard to case, like the window
  const std::string folders =
      " --folder " + dir.File("in") + " --out-folder " + dir.File("out") + " --ext '*.tvf'";
  CommandResult r = Run("convert -q" + folders + " --out-ext .csv");
  EXPECT_EQ(r.status, 4) << r.err;
  for (const char* name : {"0-empty.tvf: an empty file", "1-dangling.tvf: No such file",
                           "2-pipe.tvf: not a regular file", "3-junk.tvf: not from a QVX"})
    EXPECT_NE(r.err.find(std::string("\nInput File Skipped! (") + dir.File("in/") + name),
              std::string::npos)
        << name << "\n"
        << r.err;
  EXPECT_NE(r.err.find("Warning: Conversion Has Been Completed! (converted 2, skipped 4)\n"),
            std::string::npos)
      << r.err;
  EXPECT_GT(fs::file_size(dir.File("out/4-drive.csv")), 0u);
  EXPECT_GT(fs::file_size(dir.File("out/5-drive.csv")), 0u);

  // drive.tvf and drive.TVF would write one output: an error before anything is written.
  fs::remove_all(dir.Path() / "out");
  fs::create_directory(dir.Path() / "out");
  Log("in/6-same.tvf");
  Log("in/6-same.TVF");
  r = Run("convert -q" + folders);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("6-same.out: written by both"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(dir.Path() / "out"));
}

TEST_F(CliSafety, FolderRunsSkipALogOfAnotherProduct) {
  fs::create_directory(dir.Path() / "in");
  fs::create_directory(dir.Path() / "out");
  Log("in/a.tvf");
  KesCardLogBuilder kes("QVX KES CW RECEIVER V1.05");
  KesScan scan;
  scan.type = 3;
  scan.codes = {212};
  kes.Scan(scan).Data(KesDriveClock(0), {60});
  kes.WriteTo(dir.File("in/b.tvf"));  // a Kes PC-card log among Tarvik logs
  CommandResult r = Run("convert -q --folder " + dir.File("in") + " --out-folder " +
                        dir.File("out") + " --ext '*.tvf' --out-ext .csv");
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_EQ(r.err,
            "Warning: Conversion Has Been Completed! (converted 1, skipped 1)\n"
            "Input File Skipped! (" +
                dir.File("in/b.tvf") + ": a log of another product)\n");
  EXPECT_TRUE(fs::exists(dir.File("out/a.csv")));
  EXPECT_FALSE(fs::exists(dir.File("out/b.csv")));
}

TEST_F(CliSafety, FolderPatternsMatchInLinearTime) {
  fs::create_directory(dir.Path() / "in");
  Log("in/" + std::string(60, 'a'));
  // A backtracking matcher takes ages over this pattern; fnmatch does not.
  CommandResult r = Run("convert -q --folder " + dir.File("in") + " --out-folder " +
                        dir.File("in") + " --ext '" + std::string(30, '*') + "a*a*a*a*a*a*a*b'");
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace polvane
