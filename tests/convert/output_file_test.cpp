#include "convert/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "convert/product_converter.h"
#include "products/tarvik/tarvik_converter.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes the same pieces once through WriteTextZ and once through WriteText, after `lead`
// bytes that put the pieces near the end of the write buffer.
void ExpectSameText(const std::vector<std::string>& pieces, std::size_t lead) {
  const fs::path dir = fs::temp_directory_path() / "polvane-output-file-test";
  fs::create_directories(dir);
  const std::string prefix(lead, 'x');
  OutputFile a, b;
  ASSERT_TRUE(a.Open((dir / "a.txt").string()));
  ASSERT_TRUE(b.Open((dir / "b.txt").string()));
  a.WriteBinary(prefix.data(), prefix.size());
  b.WriteBinary(prefix.data(), prefix.size());
  // Through a value buffer as the record loop has one: readable past each piece's end.
  std::vector<char> values(4096);
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const std::string& p = pieces[k];
    if (k % 2 == 0) {
      a.WriteTextZ(p.c_str());
    } else {
      // Garbage after the terminator must not matter; pieces end at the buffer's end too.
      std::fill(values.begin(), values.end(), k % 4 == 1 ? '\n' : 'z');
      const std::size_t at = k % 3 == 0 ? values.size() - p.size() - 1 : 0;
      std::copy(p.begin(), p.end(), values.begin() + at);
      values[at + p.size()] = '\0';
      a.WriteTextZ(values.data() + at, values.data() + values.size());
    }
    b.WriteText(p);
  }
  ASSERT_TRUE(a.Close());
  ASSERT_TRUE(b.Close());
  const std::string got = ReadAll(dir / "a.txt"), want = ReadAll(dir / "b.txt");
  EXPECT_EQ(got.size(), want.size()) << "lead " << lead;
  EXPECT_TRUE(got == want) << "lead " << lead;
  fs::remove_all(dir);
}

TEST(OutputFile, ZeroEndedTextGivesTheSameBytesAsCountedText) {
  // Pieces shorter and longer than the one-pass copy, with line ends at its edges, empty ones,
  // and pieces that cross the buffer's end.
  std::vector<std::string> pieces = {"",
                                     "870.3000",
                                     "\n",
                                     "a\nb",
                                     std::string(31, 'c') + "\n",
                                     std::string(32, 'd'),
                                     std::string(32, 'e') + "\nf",
                                     std::string(33, 'g'),
                                     std::string(500, 'h') + "\n\n"};
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    std::string p(rng() % 80, 'v');
    for (char& ch : p)
      if (rng() % 9 == 0) ch = '\n';
    pieces.push_back(p);
  }
  for (std::size_t lead : {std::size_t{0}, OutputFile::kBufferSize - 70,
                           OutputFile::kBufferSize - 33, OutputFile::kBufferSize - 1})
    ExpectSameText(pieces, lead);
}

TEST(OutputFile, CancelledOrFailedFileNeverTakesTheTargetName) {
  const fs::path dir = fs::temp_directory_path() / "polvane-output-file-abandon";
  fs::create_directories(dir);
  {
    OutputFile f;
    ASSERT_TRUE(f.Open((dir / "out.csv").string()));
    f.WriteText("partial\n");
  }  // destroyed without Close: abandoned
  EXPECT_FALSE(fs::exists(dir / "out.csv"));
  EXPECT_FALSE(fs::exists(dir / "out.csv.part"));
  fs::remove_all(dir);
}

TEST(ByteSum, MatchesAPlainSumForEveryLengthAndValue) {
  std::vector<std::uint8_t> bytes(700);
  std::mt19937 rng(3);
  for (int round = 0; round < 3; ++round) {
    for (auto& b : bytes) b = round == 0 ? 255 : static_cast<std::uint8_t>(rng());
    for (std::size_t offset : {0, 1, 7})
      for (std::size_t n = 0; n + offset <= bytes.size(); ++n) {
        unsigned want = 0;
        for (std::size_t i = 0; i < n; ++i) want += bytes[offset + i];
        ASSERT_EQ(SumBytes(bytes.data() + offset, n), want) << n << " bytes at " << offset;
      }
  }
}

bool ZeroFrom(const std::uint8_t* b, int from, int to) {
  for (int i = from; i < to; ++i)
    if (b[i] != 0) return false;
  return true;
}

TEST(RecordTail, ShorterRecordsNeverShowAnEarlierRecordsBytes) {
  TarvikConverter c;
  std::uint8_t a[64], b[64];
  std::memset(a, 0xAA, sizeof a);
  std::memset(b, 0xAA, sizeof b);
  c.ZeroRecordTail(a, 10, 64);  // a buffer seen for the first time is cleared to the horizon
  EXPECT_TRUE(ZeroFrom(a, 10, 64));
  std::memset(a, 0xBB, 40);  // a longer record
  c.ZeroRecordTail(a, 40, 64);
  std::memset(a, 0xCC, 5);  // then a shorter one
  c.ZeroRecordTail(a, 5, 64);
  EXPECT_TRUE(ZeroFrom(a, 5, 64));
  c.ZeroRecordTail(b, 3, 64);  // another buffer
  EXPECT_TRUE(ZeroFrom(b, 3, 64));
  std::memset(b, 0xDD, 64);  // written behind the tracker's back: a new horizon clears all
  c.ZeroRecordTail(b, 8, 60);
  EXPECT_TRUE(ZeroFrom(b, 8, 60));
  std::memset(b, 0xEE, 64);  // and so does the next file
  c.OpenInput("/nonexistent/polvane-record-tail");
  c.ZeroRecordTail(b, 2, 60);
  EXPECT_TRUE(ZeroFrom(b, 2, 60));
}

}  // namespace
}  // namespace polvane
