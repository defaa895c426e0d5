// The helper programs check their arguments: an option is never taken for a program to time or
// a folder to fill.
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
};

Outcome RunIn(const ScratchDir& dir, const std::string& command) {
  const std::string err = (dir.Path() / "stderr").string();
  const int raw = std::system(
      ("cd " + dir.Path().string() + " && timeout 20 " + command + " >/dev/null 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(err)};
}

// Names in the folder besides the captured standard error.
int Written(const ScratchDir& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir.Path())) n += e.path().filename() != "stderr";
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

}  // namespace
}  // namespace polvane
