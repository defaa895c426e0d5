// The reference outputs: every bundled sample converted under a few settings each through the
// polvane command, compared byte for byte with the files under tests/reference/. They hold the
// outputs steady while the code underneath changes shape.
//
// tests/reference/cases.txt names each case, its sample and the options. To write the files anew
// after a deliberate change of output, run the suite with POLVANE_UPDATE_REFERENCES=1 and review
// the difference before committing it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScratchDir;

const fs::path kReferenceDir = fs::path(POLVANE_SOURCE_DIR) / "tests" / "reference";

struct ReferenceCase {
  std::string name, sample, options;
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
  *os << c.sample << " " << c.options;
}

// Lines of NAME<TAB>SAMPLE<TAB>OPTIONS; '#' starts a comment line.
std::vector<ReferenceCase> LoadCases() {
  std::vector<ReferenceCase> cases;
  std::ifstream in(kReferenceDir / "cases.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    ReferenceCase c;
    std::istringstream fields(line);
    std::getline(fields, c.name, '\t');
    std::getline(fields, c.sample, '\t');
    std::getline(fields, c.options);
    cases.push_back(c);
  }
  return cases;
}

class ReferenceOutput : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceOutput, MatchesTheReferenceFiles) {
  const ReferenceCase& c = GetParam();
  ScratchDir dir;
  const fs::path out = dir.File(c.name + ".out");
  const std::string command = std::string(POLVANE_CLI) + " convert " +
                              (fs::path(POLVANE_SOURCE_DIR) / "samples" / c.sample).string() + " " +
                              out.string() + " -q " + c.options + " 2>" + dir.File("stderr");
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command << "\n"
                                                       << ReadFile(dir.File("stderr"));

  // The output and whatever side files the layout wrote beside it (the PathPro MDF file).
  std::vector<fs::path> written;
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    if (entry.path().stem() == c.name) written.push_back(entry.path());
  ASSERT_FALSE(written.empty());

  if (std::getenv("POLVANE_UPDATE_REFERENCES")) {
    for (const fs::path& p : written)
      fs::copy_file(p, kReferenceDir / p.filename(), fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "reference files written";
  }
  for (const fs::path& p : written) {
    const fs::path reference = kReferenceDir / p.filename();
    ASSERT_TRUE(fs::exists(reference)) << reference << " is missing";
    std::string expected = ReadFile(reference), actual = ReadFile(p);
    if (p.extension() == ".MDF") {
      // The side file is stamped with the time of the run.
      for (std::string* bytes : {&expected, &actual})
        if (bytes->size() >= 24) bytes->replace(20, 4, 4, '\0');
    }
    if (expected == actual) continue;
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    const std::size_t line = std::count(expected.begin(), expected.begin() + at, '\n') + 1;
    ADD_FAILURE() << p.filename() << " differs from the reference at byte " << at << " (line "
                  << line << "); sizes " << actual.size() << " and " << expected.size()
                  << "\n  options: " << c.options;
  }
  // A side file that the reference has and the run did not write.
  for (const auto& entry : fs::directory_iterator(kReferenceDir))
    if (entry.path().stem() == c.name && entry.path().extension() != ".out") {
      EXPECT_TRUE(fs::exists(dir.Path() / entry.path().filename()))
          << entry.path().filename() << " was not written";
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, ReferenceOutput, ::testing::ValuesIn(LoadCases()),
                         [](const ::testing::TestParamInfo<ReferenceCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace polvane
