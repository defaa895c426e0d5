// Outputs synced and moved into place by an OutputSyncer while the run goes on: every output
// lands whole under its name, more of them than may wait at once included; one that cannot be
// moved into place is reported by name and leaves nothing behind; none stays a temporary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "convert/output_file.h"
#include "support/bytes.h"

namespace polvane {
namespace {

using namespace polvane::testing;
namespace fs = std::filesystem;

int Temporaries(const fs::path& dir) {
  int n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.path().filename().string().rfind(".pv", 0) == 0) ++n;
  return n;
}

std::string Text(int k) {
  return "output " + std::to_string(k) + "\nsecond line\n";
}

std::string Written(int k) {
  return "output " + std::to_string(k) + "\r\nsecond line\r\n";
}

TEST(OutputSyncer, EveryOutputLandsWholeUnderItsName) {
  ScratchDir dir;
  const int count = static_cast<int>(OutputSyncer::kMaxWaiting) + 40;  // some wait for room
  {
    OutputSyncer syncer;
    for (int k = 0; k < count; ++k) {
      OutputFile out;
      ASSERT_TRUE(out.Open(dir.File("out" + std::to_string(k) + ".txt")));
      out.WriteText(Text(k));
      ASSERT_TRUE(out.Close(syncer)) << k;
    }
    EXPECT_TRUE(syncer.Settle().empty());
    for (int k = 0; k < count; ++k)
      ASSERT_EQ(ReadFile(dir.File("out" + std::to_string(k) + ".txt")), Written(k)) << k;
    EXPECT_EQ(Temporaries(dir.Path()), 0);
    // The syncer goes on after a settle: an existing output is replaced.
    OutputFile again;
    ASSERT_TRUE(again.Open(dir.File("out0.txt")));
    again.WriteText(Text(-1));
    ASSERT_TRUE(again.Close(syncer));
  }
  // Its end settles what was left.
  EXPECT_EQ(ReadFile(dir.File("out0.txt")), Written(-1));
  EXPECT_EQ(Temporaries(dir.Path()), 0);
}

TEST(OutputSyncer, AnOutputThatCannotBeMovedIntoPlaceIsReportedByName) {
  ScratchDir dir;
  OutputSyncer syncer;
  OutputFile blocked, first, last;
  ASSERT_TRUE(first.Open(dir.File("first.txt")));
  ASSERT_TRUE(blocked.Open(dir.File("blocked.txt")));
  ASSERT_TRUE(last.Open(dir.File("last.txt")));
  // The name becomes a folder that is not empty while the output is being written.
  fs::create_directories(dir.Path() / "blocked.txt" / "inside");
  for (OutputFile* out : {&first, &blocked, &last}) {
    out->WriteText(Text(1));
    ASSERT_TRUE(out->Close(syncer));
  }
  const std::vector<std::string> failures = syncer.Settle();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].rfind(dir.File("blocked.txt") + ": ", 0), 0u) << failures[0];
  EXPECT_TRUE(fs::is_directory(dir.Path() / "blocked.txt" / "inside"));
  EXPECT_EQ(ReadFile(dir.File("first.txt")), Written(1));
  EXPECT_EQ(ReadFile(dir.File("last.txt")), Written(1));
  EXPECT_EQ(Temporaries(dir.Path()), 0);
  // Reported once.
  EXPECT_TRUE(syncer.Settle().empty());
}

}  // namespace
}  // namespace polvane
