#include "convert/record_loop.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <gtest/gtest.h>

#include <random>

#include <cstring>
#include <deque>

#include "app/form_controls.h"
#include "support/bytes.h"
#include "support/conversion.h"

namespace polvane {
namespace {

using namespace testing;

// A converter whose records are scripted: each record names the action ParseRecord returns,
// and the field values and data-group results it then gives.
class ScriptedConverter : public ProductConverter {
 public:
  struct Record {
    int16_t action = kActionWrite;
    std::vector<std::string> values;  // FieldValue of field i+5 (fields 5, 6, 7, ...)
    std::vector<std::pair<int16_t, std::string>> group;  // DataValues results, in call order
    int16_t repeat = 1;
    std::string message;
  };

  explicit ScriptedConverter(int16_t code = kProductTarvik) : ProductConverter(code) {}
  using ProductConverter::RecordCount;
  using ProductConverter::TitlesPending;

  std::deque<Record> script;
  std::vector<std::pair<int16_t, std::string>> titles = {{0, "\"T1\""}, {-1, ""}};

  int OpenInput(const std::string& path) override {
    ProductConverter::OpenInput(path);
    pending_ = script;
    return 0;
  }
  int ReadRecord(uint8_t* buffer) override {
    if (pending_.empty()) return 0;
    current_ = pending_.front();
    pending_.pop_front();
    buffer[0] = 'x';
    return 10;
  }
  int16_t ParseRecord(uint8_t*) override {
    RepeatCount = current_.repeat;
    std::snprintf(MessageText, sizeof MessageText, "%s", current_.message.c_str());
    return current_.action;
  }
  char* FieldValue(int16_t field, char* out) override {
    std::size_t i = static_cast<std::size_t>(field - 5);
    std::strcpy(out, i < current_.values.size() ? current_.values[i].c_str() : "");
    return out + std::strlen(out);
  }
  DataChunk DataValues(int16_t next, char* out, char) override {
    if (next == 0) groupAt_ = 0;
    if (groupAt_ >= current_.group.size()) return {-1, out};
    auto [r, text] = current_.group[groupAt_++];
    std::strcpy(out, text.c_str());
    return {r, out + text.size()};
  }
  int16_t DataTitles(int16_t next, char* out, char) override {
    if (next == 0) titleAt_ = 0;
    if (titleAt_ >= titles.size()) return -1;
    auto [r, text] = titles[titleAt_++];
    std::strcpy(out, text.c_str());
    return r;
  }
  int FixedHeader(char* out) override { return std::sprintf(out, "HEAD\n"); }
  int FixedRecord(char* out) override { return std::sprintf(out, "REC\n"); }
  int FixedTrailer(char* out) override { return std::sprintf(out, "TAIL\n"); }

 private:
  std::deque<Record> pending_;
  Record current_;
  std::size_t groupAt_ = 0, titleAt_ = 0;
};

class RecordLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(input, {1, 2, 3}); }
  std::string Run(const Selection& s, ConversionSettings settings = {}, RunState* run = nullptr) {
    return Convert(c, form, input, s, settings, run);
  }
  ScratchDir dir;
  std::string input = dir.File("in.log");
  FormControls form;
  ScriptedConverter c;
};

TEST_F(RecordLoopTest, EmptyValueKeepsItsDelimiter) {
  form.FieldTitles.SetChecked(false);
  c.script = {{kActionWrite, {"x", "", "z"}}};
  EXPECT_EQ(Run(Fields({5, 6, 7})), "x,,z\r\n");
}

TEST_F(RecordLoopTest, LineWithNoTextIsNotWrittenAtAll) {
  form.FieldTitles.SetChecked(false);
  c.script = {{kActionWrite, {""}}, {kActionWrite, {"b"}}};
  EXPECT_EQ(Run(Fields({5})), "b\r\n");
  // Its delimiters alone would shift the columns of the next line.
  c.script = {{kActionWrite, {"", ""}}, {kActionWrite, {"b", "c"}}};
  EXPECT_EQ(Run(Fields({5, 6})), "b,c\r\n");
  c.script = {{kActionWrite, {""}, {{0, ""}, {0, ""}}}, {kActionWrite, {"a"}, {{0, "g"}}}};
  EXPECT_EQ(Run(Fields({0, 5})), "g,a\r\n");
}

TEST_F(RecordLoopTest, DataGroupDelimitersFollowTheResults) {
  form.FieldTitles.SetChecked(false);
  // At position 0, a first call of 0 with empty text and a negative next call write nothing
  // at all, not even a delimiter.
  c.script = {{kActionWrite, {"a"}, {{0, ""}}}};
  EXPECT_EQ(Run(Fields({0, 5})), ",a\r\n");
  // Had the next call given 0, a delimiter would have been written.
  c.script = {{kActionWrite, {"a"}, {{0, ""}, {0, ""}}}};
  EXPECT_EQ(Run(Fields({0, 5})), ",,a\r\n");
  // After another field the group's first column gets its delimiter, unchecked receivers
  // (result 1) none.
  c.script = {{kActionWrite, {"a"}, {{1, ""}, {0, "v"}}}};
  EXPECT_EQ(Run(Fields({5, 0})), "a,v\r\n");
  // Unchecked receivers (result 1) add no delimiter; the group at position 0 none before.
  c.script = {{kActionWrite, {"a"}, {{0, "r1"}, {1, ""}, {0, "r3"}}}};
  EXPECT_EQ(Run(Fields({0, 5})), "r1,r3,a\r\n");
  // A chunk of result 1 with text of its own goes on from the one before it.
  c.script = {{kActionWrite, {"a", ""}, {{0, "v"}, {1, "w"}, {0, "x"}}}};
  EXPECT_EQ(Run(Fields({5, 6, 0})), "a,,vw,x\r\n");
  // After fields without text, a group of empty cells still makes no line of delimiters.
  c.script = {{kActionWrite, {"", ""}, {{0, ""}, {0, ""}}},
              {kActionWrite, {"", ""}, {{0, "g"}, {1, ""}}}};
  EXPECT_EQ(Run(Fields({5, 6, 0})), ",,g\r\n");
}

TEST_F(RecordLoopTest, TitlesLineAndItsHeaderBox) {
  c.titles = {{0, "\"A\""}, {1, ""}, {0, "\"B\""}, {-1, ""}};
  c.script = {{kActionWrite, {"1"}, {{0, "g"}}}};
  EXPECT_EQ(Run(Fields({5, 0})), "\"Latitude (Decimal Degrees)\",\"A\",\"B\"\r\n1,g\r\n");
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(Run(Fields({5, 0})), "1,g\r\n");
  EXPECT_FALSE(c.TitlesPending);
}

TEST_F(RecordLoopTest, ActionFourRepeatsTheTitlesMidFile) {
  c.script = {{kActionWrite, {"1"}},
              {kActionTitlesThenWrite, {"2"}},
              {kActionMessage, {}, {}, 1, "note\n"}};
  EXPECT_EQ(
      Run(Fields({5})),
      "\"Latitude (Decimal Degrees)\"\r\n1\r\n\"Latitude (Decimal Degrees)\"\r\n2\r\nnote\r\n");
}

TEST_F(RecordLoopTest, RepeatCountAndRecordNumbers) {
  form.FieldTitles.SetChecked(false);
  ScriptedConverter::Record r{kActionWrite, {"v"}};
  r.repeat = 3;
  c.script = {r};
  EXPECT_EQ(Run(Fields({5})), "v\r\nv\r\nv\r\n");
  EXPECT_EQ(c.RecordCount, 3);
}

TEST_F(RecordLoopTest, CancelledRunStopsBeforeTheNextRecord) {
  form.FieldTitles.SetChecked(true);
  c.script = {{kActionWrite, {"1"}}, {kActionWrite, {"2"}}};
  std::atomic<bool> cancel{true};
  RunState run;
  run.Terminated = &cancel;
  EXPECT_EQ(Run(Fields({5}), {}, &run), "\"Latitude (Decimal Degrees)\"\r\n");
}

TEST_F(RecordLoopTest, KesAndPelmorAnnounceTheirOwnTitles) {
  ScriptedConverter kes(kProductKesCard);
  kes.script = {{kActionWrite, {"1"}}, {kActionTitles}, {kActionWrite, {"2"}}};
  EXPECT_EQ(Convert(kes, form, input, Fields({5})), "1\r\n\"Latitude (Decimal Degrees)\"\r\n2\r\n");
}

TEST(Percentage, StepsAgreeWithTheDirectPercentageAtEveryCount) {
  std::mt19937_64 rng(11);
  for (std::uint64_t size : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{7},
                             std::uint64_t{100}, std::uint64_t{101}, std::uint64_t{4096 * 3 + 5},
                             std::uint64_t{1} << 40, ~std::uint64_t{0}}) {
    PercentSteps steps(size);
    std::uint64_t consumed = 0;
    for (int i = 0; i < 5000; ++i) {
      ASSERT_EQ(steps.At(consumed), Percentage(consumed, size)) << consumed << " of " << size;
      // Small steps through small files, large ones through large files, and past the end.
      const std::uint64_t step = size < 100000 ? rng() % 3 : rng() % (size / 1000 + 1);
      consumed = consumed + step < consumed ? ~std::uint64_t{0} : consumed + step;
    }
  }
}

TEST(Percentage, NeverOverflowsAndNeverDividesByZero) {
  EXPECT_EQ(Percentage(0, 0), 0);
  EXPECT_EQ(Percentage(5, 0), 0);
  EXPECT_EQ(Percentage(21474837, 21474837 * 2ULL), 50);
  EXPECT_EQ(Percentage(std::uint64_t{1} << 62, std::uint64_t{1} << 63), 50);
  EXPECT_EQ(Percentage(99, 100), 99);
  EXPECT_EQ(Percentage(200, 100), 100);
}

TEST(OutputFile, TextGetsCrLfAndBinaryStaysByteForByte) {
  ScratchDir dir;
  const std::string path = dir.File("o.txt");
  OutputFile out;
  ASSERT_TRUE(out.Open(path));
  out.WriteText("a\nb\rc\n");
  const char binary[] = {'\n', 0, '\r'};
  out.WriteBinary(binary, 3);
  // Nothing stands under the output name until the file is closed.
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(ReadFile(path), std::string("a\r\nb\rc\r\n\n\0\r", 11));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(OutputFile, LargeOutputsCrossTheBuffer) {
  ScratchDir dir;
  const std::string path = dir.File("big.txt");
  OutputFile out;
  ASSERT_TRUE(out.Open(path));
  std::string line(1000, 'x');
  line += '\n';
  for (int i = 0; i < 3000; ++i) out.WriteText(line);
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(FileSize(path), 3000u * 1002u);
}

// Texts of line ends and short lines, written across the buffer's end many times: every line
// end becomes CR LF, wherever the buffer filled.
TEST(OutputFile, LineEndsAcrossTheBufferBecomeCrLf) {
  ScratchDir dir;
  const std::string path = dir.File("ends.txt");
  OutputFile out;
  ASSERT_TRUE(out.Open(path));
  const std::string pieces[] = {"\n\n\n", "ab\ncd", "\n", std::string(700, '\n') + "x",
                                "tail without an end"};
  std::string expected;
  for (int i = 0; i < 8000; ++i) {
    const std::string& piece = pieces[i % 5];
    // Every other round as a fixed layout's piece is written.
    if (i % 10 < 5)
      out.WriteText(piece.data(), piece.size());
    else
      out.WriteTextPiece(piece.data(), piece.size());
    for (const char c : piece) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  ASSERT_TRUE(out.Close());
  ASSERT_GT(expected.size(), 2u << 20);
  EXPECT_TRUE(ReadFile(path) == expected);
}

TEST(OutputFile, AbandonedFileLeavesNothing) {
  ScratchDir dir;
  const std::string path = dir.File("gone.txt");
  {
    OutputFile out;
    ASSERT_TRUE(out.Open(path));
    out.WriteText("partial");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  OutputFile bad;
  EXPECT_FALSE(bad.Open(dir.File("no/such/folder/x.out")));
}

}  // namespace
}  // namespace polvane
