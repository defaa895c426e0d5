// polvane convert -f/--format: the window's format handler with its preset, then the
// conversion in the chosen layout.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/bytes.h"
#include "support/command_run.h"
#include "support/conversion.h"
#include "support/fixed_layout_reader.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;

class FormatOption : public ::testing::Test {
 protected:
  FormatOption() { WriteLog(dir.File("drive.tvf")); }

  static void WriteLog(const std::string& path) {
    TarvikLogBuilder log;
    log.Identification("QVX TARVIK", "1.25");
    for (int s = 30; s < 33; ++s) {
      TarvikHeader h;
      h.gps = {10, 20, s};
      log.Fast(h, {});
    }
    log.WriteTo(path);
  }

  // Runs polvane convert with the given arguments; returns its exit status.
  int Convert(const std::string& args) { return RunPolvane(dir, "convert -q " + args).status; }

  ScratchDir dir;
};

TEST_F(FormatOption, GraysonByName) {
  ASSERT_EQ(
      Convert(dir.File("drive.tvf") + " " + dir.File("drive.gry") + " -f 'Grayson IQ Analyzer'"),
      0);
  const auto lines = GraysonLines(ReadFile(dir.File("drive.gry")));
  ASSERT_EQ(lines.size(), 2u + 3 * 2 + 1);
  EXPECT_EQ(lines[0], "D2024061510");
  // Fast Data is the Tarvik default: receiver 1 on 870.03 MHz at -80 dBm.
  EXPECT_EQ(lines[2], "r203000087003000080");
  EXPECT_EQ(lines[8].substr(0, 11), "m203200IDLE");
}

TEST_F(FormatOption, PathProByIndexWritesTheMdfBesideTheOutput) {
  ASSERT_EQ(Convert(dir.File("drive.tvf") + " " + dir.File("drive.m01") + " -f 6"), 0);
  const std::string bytes = ReadFile(dir.File("drive.m01"));
  ASSERT_EQ(bytes.size(), 19u + 3 * 28);
  EXPECT_EQ(bytes.substr(0, 19), kM01Header);
  EXPECT_EQ(M01Records(std::string_view(bytes).substr(19))[2].second, 32);
  EXPECT_EQ(ReadFile(dir.File("drive.MDF")).size(), 26u);
}

TEST_F(FormatOption, FieldPresetReachesTheOutput) {
  // Expert Wireless MaXPlan: latitude, longitude and the data group, tab-separated, no
  // titles; the data boxes leave receiver 1's RSSI. OUTPUT replaces the preset's "test.sdr".
  ASSERT_EQ(Convert(dir.File("drive.tvf") + " " + dir.File("drive.sdr") + " -f 2"), 0);
  const auto lines = Lines(ReadFile(dir.File("drive.sdr")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "45.5000\t-73.2500\t-80");
}

TEST_F(FormatOption, UnknownFormatIsAUsageError) {
  EXPECT_EQ(Convert(dir.File("drive.tvf") + " " + dir.File("x.out") + " -f 17"), 2);
  EXPECT_EQ(Convert(dir.File("drive.tvf") + " " + dir.File("x.out") + " -f 'MSI'"), 2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.out")));
}

TEST_F(FormatOption, EveryFileOfAFolderGetsTheHeader) {
  std::filesystem::create_directory(dir.File("in"));
  std::filesystem::create_directory(dir.File("out"));
  WriteLog(dir.File("in/a.tvf"));
  WriteLog(dir.File("in/b.tvf"));
  ASSERT_EQ(Convert("--folder " + dir.File("in") + " --out-folder " + dir.File("out") +
                    " --ext '*.tvf' -f 'MSI Planet'"),
            0);
  const auto a = Lines(ReadFile(dir.File("out/a.out")));
  const auto b = Lines(ReadFile(dir.File("out/b.out")));
  ASSERT_EQ(a.size(), 9u + 3);
  EXPECT_EQ(a[0], "_HEADER");
  EXPECT_EQ(a[9], "10:20:30:00 45.500000 -73.250000 REPORT::Report: 870.0300 1 -80");
  EXPECT_EQ(b, a);
}

TEST_F(FormatOption, ALayoutTheProductDoesNotWriteIsAUsageError) {
  EXPECT_EQ(Convert(dir.File("drive.tvf") + " " + dir.File("drive.wvi") + " -f 12"), 2);
  EXPECT_NE(ReadFile(dir.File("stderr"))
                .find("QVX Tarvik does not write the Wireless Valley InFielder layout"),
            std::string::npos)
      << ReadFile(dir.File("stderr"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("drive.wvi")));
}

TEST_F(FormatOption, AConfigurationRestoresItsLayout) {
  ASSERT_EQ(Convert(dir.File("drive.tvf") + " " + dir.File("first.m01") + " -f 6 --save-config " +
                    dir.File("saved.cfg")),
            0);
  ASSERT_EQ(
      Convert(dir.File("drive.tvf") + " -c " + dir.File("saved.cfg") + " " + dir.File("again.m01")),
      0);
  EXPECT_EQ(ReadFile(dir.File("again.m01")), ReadFile(dir.File("first.m01")));
  EXPECT_EQ(ReadFile(dir.File("again.m01")).substr(0, 17), "PathView M01 File");
}

TEST_F(FormatOption, ALogThatEndsInDamagedDataExitsWithAWarning) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  log.Fast({}, {});
  const std::size_t whole = log.Data().size();
  log.Fast({}, {});
  log.Truncate(log.Data().size() - whole - 20);
  log.WriteTo(dir.File("cut.tvf"));
  EXPECT_EQ(Convert(dir.File("cut.tvf") + " " + dir.File("cut.out") + " --fields 11"), 4);
  EXPECT_EQ(ReadFile(dir.File("stderr")),
            "Warning: Conversion Has Been Completed!\n" + dir.File("cut.tvf") +
                ": reading stopped at byte " + std::to_string(whole) +
                "; 20 bytes were left unread (damaged or cut-short data).\n");
  EXPECT_EQ(Lines(ReadFile(dir.File("cut.out"))).size(), 2u);  // titles and the whole record
}

}  // namespace
}  // namespace polvane
