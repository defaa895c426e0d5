// The helper programs check their arguments: an option is never taken for a program to time or
// a folder to fill.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "support/bytes.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;

struct Outcome {
  int status;
  std::string err;
  std::string out;
};

Outcome RunIn(const ScratchDir& dir, const std::string& command) {
  const std::string err = (dir.Path() / "stderr").string(), out = (dir.Path() / "stdout").string();
  const int raw = std::system(
      ("cd " + dir.Path().string() + " && timeout 20 " + command + " >" + out + " 2>" + err)
          .c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(err), ReadFile(out)};
}

// Names in the folder besides the captured standard output and error.
int Written(const ScratchDir& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir.Path()))
    n += e.path().filename() != "stderr" && e.path().filename() != "stdout";
  return n;
}

TEST(Tools, SampleGeneratorRefusesOptions) {
  ScratchDir dir;
  EXPECT_EQ(RunIn(dir, std::string(POLVANE_MAKE_SAMPLES) + " --help").status, 0);
  for (const char* bad : {" --bogus", " -x", " a b"}) {
    const Outcome r = RunIn(dir, std::string(POLVANE_MAKE_SAMPLES) + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("usage: make_samples"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Written(dir), 0);  // no folder named after an option
}

#ifdef POLVANE_BENCH
TEST(Tools, BenchmarkRefusesOptionsAndNonPrograms) {
  ScratchDir dir;
  const std::string bench = POLVANE_BENCH;
  EXPECT_EQ(RunIn(dir, bench + " --help").status, 0);
  const std::string work = (dir.Path() / "work").string();
  for (const std::string& bad :
       {std::string(""), std::string(" --bogus"), " " + std::string(POLVANE_CLI) + " --fast",
        " " + std::string(POLVANE_CLI) + " " + work + " lots",
        " " + std::string(POLVANE_CLI) + " " + work + " 0", " " + work,
        " " + std::string(POLVANE_CLI) + " " + work + " 1 2"}) {
    const Outcome r = RunIn(dir, bench + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("usage: polvane_bench"), std::string::npos) << bad << ": " << r.err;
  }
  EXPECT_EQ(Written(dir), 0);  // nothing generated
}
#endif

// Two benchmark tables compared row by row: the ratio new / old of each row's measure, rows of
// one table only named, and anything that is not such a table refused.
TEST(Tools, BenchCompareGivesRatiosPerRow) {
  ScratchDir dir;
  auto table = [&](const char* name, const std::string& rows) {
    const std::string text = "{\"size_mb\": 64, \"rows\": [" + rows + "]}";
    WriteFile(dir.Path() / name, std::vector<std::uint8_t>(text.begin(), text.end()));
  };
  table("old.json", R"({"run": "Pelmor, best server", "cpu_s": 2.0, "x_base": 8.0},)"
                    R"({"run": "parallel folder, --jobs 2", "files_s": 2.0, "wall_s": 8.0},)"
                    R"({"run": "gone", "cpu_s": 1.0})");
  table("new.json", R"({"run": "Pelmor, best server", "cpu_s": 0.5, "x_base": 2.0},)"
                    R"({"run": "parallel folder, --jobs 2", "files_s": 3.0, "wall_s": 5.0},)"
                    R"({"run": "added", "cpu_s": 1.0})");
  const std::string compare =
      "/usr/bin/python3 " + std::string(POLVANE_SOURCE_DIR) + "/tools/bench_compare ";
  const Outcome compared = RunIn(dir, compare + "old.json new.json");
  ASSERT_EQ(compared.status, 0) << compared.err;
  const std::string& text = compared.out;
  EXPECT_THAT(
      text, ::testing::HasSubstr("| Pelmor, best server       | CPU s     |         2 |       0.5 |"
                                 "    0.25 |       8.00 |       2.00 |"));
  EXPECT_THAT(
      text, ::testing::HasSubstr("| parallel folder, --jobs 2 | files/s   |         2 |         3 |"
                                 "    1.50 |"));
  EXPECT_THAT(text, ::testing::HasSubstr("| gone                      | only in old"));
  EXPECT_THAT(text, ::testing::HasSubstr("| added                     | only in new"));

  const std::string broken = R"({"run": "a row, not a table"})";
  WriteFile(dir.Path() / "broken.json", std::vector<std::uint8_t>(broken.begin(), broken.end()));
  EXPECT_EQ(RunIn(dir, compare + "old.json broken.json").status, 2);
  EXPECT_EQ(RunIn(dir, compare + "old.json").status, 2);
}

}  // namespace
}  // namespace polvane
