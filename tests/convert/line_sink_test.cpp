// Every consumer of a conversion gets the same lines: a sink other than the delimited writer
// receives the cells that the delimited output joins, with their titles, kinds, receivers and
// readings, and the place of the record from the reader.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/form_controls.h"
#include "convert/line_sink.h"
#include "convert/output_file.h"
#include "convert/record_loop.h"
#include "products/tarvik/tarvik_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace testing;

// Keeps every line as its cells, and joins them as the delimited writer would.
class CollectingSink : public LineSink {
 public:
  struct Kept {
    std::vector<std::string> Titles, Texts;
    std::vector<CellKind> Kinds;
    std::vector<int> Receivers, Readings;
    LinePlace Place;
    std::uint64_t Layout = 0;
  };
  void Titles(const Line& line) override {
    ++titleLines;
    titles = Keep(line);
    joined += Join(line);
  }
  void Write(const Line& line) override {
    lines.push_back(Keep(line));
    joined += Join(line);
  }
  void Message(std::string_view text) override {
    for (char ch : text) joined += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  }
  static Kept Keep(const Line& line) {
    Kept k;
    for (const Cell& c : line.Cells) {
      k.Titles.emplace_back(c.Title);
      k.Texts.emplace_back(c.Text);
      k.Kinds.push_back(c.Kind);
      k.Receivers.push_back(c.Receiver);
      k.Readings.push_back(c.Reading);
    }
    k.Place = line.Place;
    k.Layout = line.Layout;
    return k;
  }
  static std::string Join(const Line& line) {
    std::string s;
    for (std::size_t i = 0; i < line.Cells.size(); ++i) {
      if (i) s += ',';
      for (char ch : line.Cells[i].Text) s += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    }
    return s + "\r\n";
  }
  int titleLines = 0;
  Kept titles;
  std::vector<Kept> lines;
  std::string joined;
};

// A converter whose data group is scripted: chunks of cells as a reader hands them out, the
// cells of a chunk separated by the separator the record loop gives.
class ChunkConverter : public ProductConverter {
 public:
  ChunkConverter() : ProductConverter(kProductTarvik) {}
  using ProductConverter::TitlesPending;
  std::vector<std::string> titleChunks, valueChunks;
  std::vector<std::string> values;
  // Where given, record i takes the chunks and field values of entry i instead.
  std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> perRecord;
  int records = 1;
  int OpenInput(const std::string& path) override {
    ProductConverter::OpenInput(path);
    left_ = records;
    return 0;
  }
  int ReadRecord(uint8_t*) override { return left_-- > 0 ? 4 : 0; }
  int16_t ParseRecord(uint8_t*) override {
    if (const auto i = static_cast<std::size_t>(records - left_ - 1); i < perRecord.size())
      std::tie(valueChunks, values) = perRecord[i];
    RepeatCount = 1;
    return kActionWrite;
  }
  char* FieldValue(int16_t field, char* out) override {
    std::snprintf(out, 64, "%s", values[static_cast<std::size_t>(field - 5)].c_str());
    return out + std::strlen(out);
  }
  int16_t DataTitles(int16_t next, char* out, char sep) override {
    return Chunk(titleChunks, next, out, sep, titleAt_);
  }
  DataChunk DataValues(int16_t next, char* out, char sep) override {
    const int16_t status = Chunk(valueChunks, next, out, sep, valueAt_);
    return {status, out + std::strlen(out)};
  }
  void Place(LinePlace& place) const override {
    place.HasPosition = true;
    place.Latitude = 51.5;
    place.Longitude = -0.25;
  }

 private:
  static int16_t Chunk(const std::vector<std::string>& chunks, int16_t next, char* out, char sep,
                       std::size_t& at) {
    if (next == 0) at = 0;
    if (at >= chunks.size()) return -1;
    std::string s = chunks[at++];
    for (char& ch : s)
      if (ch == '|') ch = sep;
    std::snprintf(out, 4096, "%s", s.c_str());
    return 0;
  }
  int left_ = 0;
  std::size_t titleAt_ = 0, valueAt_ = 0;
};

// Takes each line joined by ';', as the delimited writer takes it by its delimiter, and no
// cell details; counts the lines whose joined text is not their cells' texts joined.
class JoiningSink : public CollectingSink {
 public:
  bool WantsCellDetails() const override { return false; }
  std::optional<char> JoinedBy() const override { return ';'; }
  void Titles(const Line& line) override {
    CollectingSink::Titles(line);
    Check(line);
  }
  void Write(const Line& line) override {
    CollectingSink::Write(line);
    Check(line);
  }
  void Check(const Line& line) {
    std::string cells;
    for (std::size_t i = 0; i < line.Cells.size(); ++i) {
      if (i) cells += ';';
      cells += line.Cells[i].Text;
    }
    if (line.IsJoined) ++joinedLines;
    if (line.IsJoined && line.Joined != cells) ++mismatched;
  }
  int joinedLines = 0, mismatched = 0;
};

struct LineSinkTest : ::testing::Test {
  void SetUp() override { WriteFile(input, {1, 2, 3}); }
  std::string Delimited(const Selection& s) { return Convert(c, form, input, s); }
  void Collect(const Selection& s) { Collect(s, sink); }
  void Collect(const Selection& s, LineSink& to, bool traffic = false) {
    RunState run;
    ConversionSettings settings = FormSettings(form);
    settings.Reduction.Traffic.On = traffic;
    c.SetSettings(settings);
    ASSERT_EQ(c.OpenInput(input), 0);
    c.SetConverting(true);
    c.TitlesPending = true;
    loop.Run(c, to, nullptr, s, run, 3);
  }
  RecordLoop loop;
  ScratchDir dir;
  std::string input = dir.File("in.log");
  FormControls form;
  ChunkConverter c;
  CollectingSink sink;
};

TEST_F(LineSinkTest, CellsJoinToTheDelimitedBytesWithTitlesKindsAndReadings) {
  c.titleChunks = {"\"Rec#1 Frequency\"|\"Rec#1 RSSI\"", "\"Rec#2 Frequency\"|\"Rec#2 RSSI\""};
  // Receiver 1 has three readings, past the one the titles line names; receiver 2 one.
  c.valueChunks = {"451.5|-62|452.0|-70|453.5|-81", "460.0|-90"};
  c.values = {"51.5000", "", "", "", "", "N", "", "", "", "", "", "", "", "13:12:00"};
  const Selection s = Fields({0, 5, 10, 18});
  const std::string expected = Delimited(s);
  c.TitlesPending = true;
  Collect(s);
  EXPECT_EQ(sink.joined, expected);
  EXPECT_EQ(expected,
            "\"Rec#1 Frequency\",\"Rec#1 RSSI\",\"Rec#2 Frequency\",\"Rec#2 RSSI\","
            "\"Latitude (Decimal Degrees)\",\"Latitude Hemisphere\",\"GPS Time (HH:MM:SS)\"\r\n"
            "451.5,-62,452.0,-70,453.5,-81,460.0,-90,51.5000,N,13:12:00\r\n");

  ASSERT_EQ(sink.lines.size(), 1u);
  const CollectingSink::Kept& k = sink.lines[0];
  EXPECT_EQ(sink.titles.Titles[0], "Rec#1 Frequency");
  EXPECT_EQ(sink.titles.Texts[0], "\"Rec#1 Frequency\"");
  EXPECT_EQ(k.Titles,
            (std::vector<std::string>{"Rec#1 Frequency", "Rec#1 RSSI", "Rec#1 Frequency 2",
                                      "Rec#1 RSSI 2", "Rec#1 Frequency 3", "Rec#1 RSSI 3",
                                      "Rec#2 Frequency", "Rec#2 RSSI", "Latitude (Decimal Degrees)",
                                      "Latitude Hemisphere", "GPS Time (HH:MM:SS)"}));
  EXPECT_EQ(k.Receivers, (std::vector<int>{1, 1, 1, 1, 1, 1, 2, 2, 0, 0, 0}));
  EXPECT_EQ(k.Readings, (std::vector<int>{1, 1, 2, 2, 3, 3, 1, 1, 0, 0, 0}));
  EXPECT_EQ(k.Kinds[0], CellKind::Real);
  EXPECT_EQ(k.Kinds[1], CellKind::Integer);
  EXPECT_EQ(k.Kinds[9], CellKind::Text);
  EXPECT_EQ(k.Kinds[10], CellKind::Time);
  EXPECT_TRUE(k.Place.HasPosition);
  EXPECT_DOUBLE_EQ(k.Place.Longitude, -0.25);
  EXPECT_EQ(k.Place.Record, 1u);
}

TEST_F(LineSinkTest, ASinkThatTakesLinesJoinedGetsTheSameTextsWithoutDetails) {
  c.titleChunks = {"\"Rec#1 Frequency\"|\"Rec#1 RSSI\"", "\"Rec#2 Frequency\"|\"Rec#2 RSSI\""};
  // Empty cells inside a chunk, at its ends and an empty chunk between two.
  c.valueChunks = {"|-62||-70|453.5|", "", "460.0|"};
  c.values = {"51.5000", "", "", "", "", "N"};
  c.records = 3;
  const Selection s = Fields({5, 0, 10});
  // The same loop gives an annotating sink, then a joining one, then an annotating one again.
  Collect(s);
  JoiningSink joining;
  Collect(s, joining);
  CollectingSink again;
  Collect(s, again);

  ASSERT_EQ(joining.lines.size(), 3u);
  EXPECT_EQ(joining.joinedLines, 4);  // the titles line and three records
  EXPECT_EQ(joining.mismatched, 0);
  EXPECT_EQ(joining.titles.Texts, sink.titles.Texts);
  for (std::size_t i = 0; i < joining.lines.size(); ++i) {
    EXPECT_EQ(joining.lines[i].Texts, sink.lines[i].Texts);
    for (const std::string& title : joining.lines[i].Titles) EXPECT_EQ(title, "");
    EXPECT_EQ(again.lines[i].Titles, sink.lines[i].Titles);
    EXPECT_EQ(again.lines[i].Kinds, sink.lines[i].Kinds);
    EXPECT_EQ(again.lines[i].Readings, sink.lines[i].Readings);
  }
  EXPECT_EQ(sink.lines[0].Texts, (std::vector<std::string>{"51.5000", "", "-62", "", "-70", "453.5",
                                                           "", "", "460.0", "", "N"}));
  EXPECT_EQ(sink.lines[0].Titles[4], "Rec#1 RSSI 2");

  // A reduction may change the cells: the sink joins them itself then.
  JoiningSink reduced;
  Collect(s, reduced, true);
  EXPECT_EQ(reduced.lines.size(), 3u);
  EXPECT_EQ(reduced.joinedLines, 0);
}

// The delimited writer reads only the joined text of a line: the loop then keeps no cell ends
// for it, yet the text is the same, the titles line still has its cells, and a sink that reads
// cells after it on the same loop gets them all.
TEST_F(LineSinkTest, ASinkThatReadsOnlyTheJoinedTextGetsItWithoutCells) {
  c.titleChunks = {"\"Rec#1 Frequency\"|\"Rec#1 RSSI\"", "\"Rec#2 Frequency\"|\"Rec#2 RSSI\""};
  c.valueChunks = {"|-62||-70|453.5|", "", "460.0|"};
  c.values = {"51.5000", "", "", "", "", "N"};
  c.records = 3;
  const Selection s = Fields({5, 0, 10});
  struct TextOnly : JoiningSink {
    bool WantsJoinedCells() const override { return false; }
    void Write(const Line& line) override {
      texts.emplace_back(line.Joined);
      JoiningSink::Write(line);
    }
    std::vector<std::string> texts;
  };
  JoiningSink joining;
  Collect(s, joining);
  TextOnly bare;
  Collect(s, bare);
  CollectingSink after;
  Collect(s, after);

  ASSERT_EQ(bare.texts.size(), 3u);
  EXPECT_EQ(bare.joinedLines, 4);
  for (std::size_t i = 0; i < bare.texts.size(); ++i) {
    std::string cells;
    for (std::size_t k = 0; k < joining.lines[i].Texts.size(); ++k)
      cells += (k ? ";" : "") + joining.lines[i].Texts[k];
    EXPECT_EQ(bare.texts[i], cells) << i;
    EXPECT_TRUE(bare.lines[i].Texts.empty()) << i;
    EXPECT_EQ(after.lines[i].Texts, joining.lines[i].Texts) << i;
  }
  EXPECT_EQ(bare.titles.Texts, joining.titles.Texts);
  EXPECT_FALSE(bare.titles.Texts.empty());
}

TEST_F(LineSinkTest, ReadingsNumberedByTheTitlesKeepTheirNumbering) {
  form.ChannelField.SetChecked(false);
  c.titleChunks = {"\"Freq. #1\"|\"RSSI #1\"|\"Freq. #2\"|\"RSSI #2\""};
  c.valueChunks = {"451.5|-62|452.0|-70|453.5|-81"};
  c.values = {"1"};
  Collect(Fields({0, 5}));
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].Titles,
            (std::vector<std::string>{"Freq. #1", "RSSI #1", "Freq. #2", "RSSI #2", "Freq. #3",
                                      "RSSI #3", "Latitude (Decimal Degrees)"}));
  EXPECT_EQ(sink.lines[0].Readings, (std::vector<int>{1, 1, 2, 2, 3, 3, 0}));
}

TEST_F(LineSinkTest, AReadingPerChunkIsNumberedAcrossTheChunksOfItsReceiver) {
  // A scan handed out a channel at a time, as the Kes readers do.
  form.ChannelField.SetChecked(false);
  c.titleChunks = {"\"Freq. #1\"|\"RSSI #1\"", "\"Freq. #2\"|\"RSSI #2\"",
                   "\"Freq. #3\"|\"RSSI #3\""};
  c.valueChunks = {"451.5|-62", "452.0|-70", "453.5|-81"};
  c.values = {"1"};
  Collect(Fields({0, 5}));
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].Titles,
            (std::vector<std::string>{"Freq. #1", "RSSI #1", "Freq. #2", "RSSI #2", "Freq. #3",
                                      "RSSI #3", "Latitude (Decimal Degrees)"}));
  EXPECT_EQ(sink.lines[0].Receivers, (std::vector<int>{1, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(sink.lines[0].Readings, (std::vector<int>{1, 1, 2, 2, 3, 3, 0}));
}

// Lines of the same cells but for their texts share a Layout; a line of other readings gets
// another, and the kinds always follow the line's own texts.
TEST_F(LineSinkTest, LinesOfOneLayoutShareItsNumberAndKeepTheirOwnKinds) {
  c.titleChunks = {"\"Rec#1 Frequency\"|\"Rec#1 RSSI\"", "\"Rec#2 Frequency\"|\"Rec#2 RSSI\""};
  const std::vector<std::string> one = {"451.5|-62", "460.0|-90"};
  c.perRecord = {{one, {"51.5000"}},
                 {{"452.0|-70", "461.0|-91"}, {"n/a"}},
                 {{"451.5|-62|452.0|-70", "460.0|-90"}, {"51.5000"}},
                 {one, {""}}};
  c.records = 4;
  Collect(Fields({0, 5}));
  ASSERT_EQ(sink.lines.size(), 4u);
  const auto& l = sink.lines;
  EXPECT_NE(l[0].Layout, 0u);
  EXPECT_EQ(l[1].Layout, l[0].Layout);
  EXPECT_NE(l[2].Layout, l[1].Layout);
  EXPECT_NE(l[3].Layout, l[2].Layout);
  EXPECT_NE(l[3].Layout, 0u);
  EXPECT_EQ(l[0].Kinds[4], CellKind::Real);
  EXPECT_EQ(l[1].Kinds[4], CellKind::Text);
  EXPECT_EQ(l[3].Kinds[4], CellKind::Integer);  // an empty text
  EXPECT_EQ(l[1].Texts, (std::vector<std::string>{"452.0", "-70", "461.0", "-91", "n/a"}));
  EXPECT_EQ(l[2].Titles[2], "Rec#1 Frequency 2");
  EXPECT_EQ(l[2].Readings, (std::vector<int>{1, 1, 2, 2, 1, 1, 0}));
  for (const auto& line : {l[1], l[3]}) {
    EXPECT_EQ(line.Titles, l[0].Titles);
    EXPECT_EQ(line.Receivers, l[0].Receivers);
    EXPECT_EQ(line.Readings, l[0].Readings);
  }
  // Another run of the same loop starts its layouts anew.
  CollectingSink again;
  Collect(Fields({0, 5}), again);
  ASSERT_EQ(again.lines.size(), 4u);
  EXPECT_NE(again.lines[0].Layout, l[3].Layout);
  EXPECT_EQ(again.lines[1].Layout, again.lines[0].Layout);
}

TEST(LineSinkReader, TarvikGivesThePositionAndTimeOfItsRecords) {
  ScratchDir dir;
  const std::string input = dir.File("drive.tvf");
  TarvikHeader h;
  h.latitude = 51.5074;
  h.longitude = -0.1278;
  h.gps = {13, 12, 7};
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  log.Fast(h, {});
  log.WriteTo(input);
  FormControls form;
  TarvikConverter c;
  form.ScanTypeGroup.SetItemIndex(1);  // "Fast Data"
  CollectingSink sink;
  RunState run;
  c.SetSettings(FormSettings(form));
  ASSERT_EQ(c.OpenInput(input), 0);
  c.SetConverting(true);
  RecordLoop loop;
  loop.Run(c, sink, nullptr, Fields({0, 5, 11}), run, FileSize(input));
  ASSERT_FALSE(sink.lines.empty());
  const LinePlace& p = sink.lines.back().Place;
  EXPECT_TRUE(p.HasPosition);
  EXPECT_NEAR(p.Latitude, 51.5074, 1e-3);
  EXPECT_NEAR(p.Longitude, -0.1278, 1e-3);
  EXPECT_TRUE(p.HasTime);
  EXPECT_DOUBLE_EQ(p.GpsSeconds, 13 * 3600 + 12 * 60 + 7);
  // The position agrees with the decimal fields the line writes.
  EXPECT_NEAR(std::stod(sink.lines.back().Texts[sink.lines.back().Texts.size() - 2]), p.Latitude,
              1e-4);
}

}  // namespace
}  // namespace polvane
