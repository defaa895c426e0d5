// The record loop's fixed-layout path, driven by a converter that plays a script of actions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "convert/record_loop.h"
#include "support/bytes.h"
#include "support/conversion.h"

namespace polvane {
namespace {

using namespace polvane::testing;

// Each "record" of the script is one action of ParseRecord; the pieces name what they are.
class ScriptedConverter : public ProductConverter {
 public:
  ScriptedConverter() : ProductConverter(kProductKesCard) {}
  using ProductConverter::MessageText;

  std::vector<int16_t> Actions;
  int16_t Repeat = 1;
  bool BinaryHeader = false;

  int OpenInput(const std::string& path) override {
    next_ = 0;
    records_ = 0;
    return ProductConverter::OpenInput(path);
  }
  int ReadRecord(std::uint8_t*) override { return next_ < Actions.size() ? 1 : 0; }
  int16_t ParseRecord(std::uint8_t*) override {
    RepeatCount = Repeat;
    return Actions[next_++];
  }
  int FixedHeader(char* out) override {
    if (BinaryHeader) {
      std::memcpy(out, "H\0\x0A!", 4);
      return 4;
    }
    std::strcpy(out, "HEADER\n");
    return 7;
  }
  // Each record writes the next of Pieces where there are any, else "R<n>".
  std::vector<std::string> Pieces;
  int FixedRecord(char* out) override {
    if (!Pieces.empty()) {
      const std::string& piece = Pieces[static_cast<std::size_t>(records_++) % Pieces.size()];
      std::memcpy(out, piece.data(), piece.size());
      return static_cast<int>(piece.size());
    }
    const int n = std::snprintf(out, 16, "R%d\n", ++records_);
    return n;
  }
  int FixedTrailer(char* out) override {
    std::strcpy(out, "TRAILER\n");
    return 8;
  }

 private:
  std::size_t next_ = 0;
  int records_ = 0;
};

class FixedLoop : public ::testing::Test {
 protected:
  FixedLoop() {
    input = dir.File("in.log");
    WriteFile(input, {1, 2, 3, 4});
    settings.FixedLayout = true;
    settings.OutputFormat = 3;
  }
  std::string Run(RunState* run = nullptr) {
    return testing::Convert(c, input, Fields({}), settings, run);
  }
  ScratchDir dir;
  std::string input;
  ScriptedConverter c;
  ConversionSettings settings;
};

TEST_F(FixedLoop, HeaderBeforeTheFirstRecordThenTrailerAfterTheLast) {
  c.Actions = {kActionNone, kActionMessage, kActionWrite, kActionWrite};
  std::strcpy(c.MessageText, "note\n");
  EXPECT_EQ(Run(), "note\r\nHEADER\r\nR1\r\nR2\r\nTRAILER\r\n");
}

TEST_F(FixedLoop, AnnouncedHeaderComesOnceAndRepeatsWriteSeveralRecords) {
  c.Actions = {kActionTitles, kActionTitles, kActionTitlesThenWrite, kActionWrite};
  c.Repeat = 2;
  EXPECT_EQ(Run(), "HEADER\r\nR1\r\nR2\r\nR3\r\nR4\r\nTRAILER\r\n");
}

TEST_F(FixedLoop, NoHeaderWhileTitlesAreNotPending) {
  c.Actions = {kActionWrite, kActionWrite};
  // OpenInput sets TitlesPending; a reader that clears it before the first record gets none.
  struct Clearing : ScriptedConverter {
    int16_t ParseRecord(std::uint8_t* b) override {
      TitlesPending = false;
      return ScriptedConverter::ParseRecord(b);
    }
  } clearing;
  clearing.Actions = c.Actions;
  EXPECT_EQ(testing::Convert(clearing, input, Fields({}), settings), "R1\r\nR2\r\nTRAILER\r\n");
}

TEST_F(FixedLoop, EveryOutputOfARunGetsItsOwnHeader) {
  c.Actions = {kActionWrite};
  RunState run;
  EXPECT_EQ(Run(&run), "HEADER\r\nR1\r\nTRAILER\r\n");
  EXPECT_EQ(Run(&run), "HEADER\r\nR1\r\nTRAILER\r\n");
  // A cancelled run still closes each file with the trailer.
  std::atomic<bool> stop{true};
  RunState cancelled;
  cancelled.Terminated = &stop;
  EXPECT_EQ(Run(&cancelled), "TRAILER\r\n");
}

// A text piece of one line, of several, of a line end alone, without a line end at its close
// or with a carriage return of its own: every line end in it becomes CR LF, nothing else
// changes.
TEST_F(FixedLoop, EveryLineEndOfATextPieceBecomesCrLf) {
  c.Pieces = {"one line\n", "two\nlines\n", "\n", "open", " end\r\n", "a\n\nb"};
  c.Actions.assign(c.Pieces.size(), kActionWrite);
  EXPECT_EQ(Run(), "HEADER\r\none line\r\ntwo\r\nlines\r\n\r\nopen end\r\r\na\r\n\r\nbTRAILER\r\n");
}

TEST_F(FixedLoop, PathProPiecesAreBinaryByTheirLength) {
  settings.OutputFormat = 6;
  c.BinaryHeader = true;
  c.Actions = {kActionWrite};
  EXPECT_EQ(Run(), std::string("H\0\x0A!R1\nTRAILER\n", 15));
}

}  // namespace
}  // namespace polvane
