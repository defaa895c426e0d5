#include "convert/table_shape.h"

#include <charconv>
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "convert/signal_colors.h"
#include "support/line_builder.h"
#include "support/seeded_numbers.h"

namespace polvane {
namespace {

using ::testing::ElementsAre;
using testing::LineBuilder;

std::vector<std::string> OrderedNames(const TableShape& shape) {
  std::vector<std::string> names;
  for (std::size_t i : shape.Order()) names.push_back(shape.Columns()[i].Name);
  return names;
}

std::size_t ColumnOf(const TableShape& shape, const std::string& name) {
  for (std::size_t i = 0; i < shape.Columns().size(); ++i)
    if (shape.Columns()[i].Name == name) return i;
  ADD_FAILURE() << "no column " << name;
  return 0;
}

// The rows of a line as texts by column name ("" for null), in display order.
std::vector<std::vector<std::string>> Rows(TableShape& shape, const Line& line) {
  std::vector<std::vector<std::string>> rows;
  shape.ForEachRow(line, [&](std::span<const TableValue> values) {
    std::vector<std::string> row;
    for (std::size_t i : shape.Order())
      row.push_back(values[i].Null ? "<null>" : std::string(values[i].Text));
    rows.push_back(row);
  });
  return rows;
}

// A scan line of one receiver with n readings between the latitude and the record number.
LineBuilder ScanLine(int readings, int record) {
  LineBuilder b;
  b.Field("Latitude (Decimal Degrees)", CellKind::Real, "45.5");
  for (int k = 1; k <= readings; ++k)
    b.Reading(1, static_cast<std::uint16_t>(k), "45" + std::to_string(k) + ".5",
              "-" + std::to_string(60 + k));
  b.Field("Record Number", CellKind::Integer, std::to_string(record));
  return b;
}

TEST(WideShape, WiderLinesAddTheirReadingsInPlaceAndNarrowLinesKeepTheirColumns) {
  for (bool widestFirst : {false, true}) {
    SCOPED_TRACE(widestFirst ? "widest first" : "narrowest first");
    TableShape shape;
    const LineBuilder narrow = ScanLine(1, 1), wide = ScanLine(3, 2);
    const Line first = widestFirst ? wide.Get() : narrow.Get();
    const Line second = widestFirst ? narrow.Get() : wide.Get();
    EXPECT_TRUE(shape.Learn(first));
    EXPECT_EQ(shape.Learn(second), !widestFirst);
    EXPECT_THAT(OrderedNames(shape),
                ElementsAre("Latitude (Decimal Degrees)", "Rec#1 Frequency", "Rec#1 RSSI",
                            "Rec#1 Frequency 2", "Rec#1 RSSI 2", "Rec#1 Frequency 3",
                            "Rec#1 RSSI 3", "Record Number"));
    EXPECT_THAT(Rows(shape, narrow), ElementsAre(ElementsAre("45.5", "451.5", "-61", "<null>",
                                                             "<null>", "<null>", "<null>", "1")));
    EXPECT_THAT(Rows(shape, wide), ElementsAre(ElementsAre("45.5", "451.5", "-61", "452.5", "-62",
                                                           "453.5", "-63", "2")));
    EXPECT_EQ(shape.RowCount(wide), 1u);
  }
}

TEST(WideShape, ColumnsKeepTheirIndexWhenLaterLinesAddSome) {
  TableShape shape;
  shape.Learn(ScanLine(1, 1));
  const std::vector<TableColumn> before = shape.Columns();
  shape.Learn(ScanLine(2, 2));
  ASSERT_EQ(shape.Columns().size(), before.size() + 2);
  for (std::size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(shape.Columns()[i].Name, before[i].Name);
  EXPECT_EQ(shape.Columns()[before.size()].Name, "Rec#1 Frequency 2");
  EXPECT_FALSE(shape.Learn(ScanLine(2, 3)));
}

TEST(WideShape, TypesFollowTheKindsAndWidenOnTextThatIsNoNumber) {
  TableShape shape;
  auto line = [](std::string a, std::string b, std::string c, std::string d) {
    LineBuilder l;
    l.Field("Count", CellKind::Integer, std::move(a))
        .Field("Level", CellKind::Real, std::move(b))
        .Field("Note", CellKind::Text, std::move(c))
        .Field("Clock", CellKind::Time, std::move(d));
    return l;
  };
  shape.Learn(line("12", "1.5", "42", "13:12:00"));
  const auto& cols = shape.Columns();
  EXPECT_EQ(cols[ColumnOf(shape, "Count")].Type, ColumnType::Integer);
  EXPECT_EQ(cols[ColumnOf(shape, "Level")].Type, ColumnType::Real);
  EXPECT_EQ(cols[ColumnOf(shape, "Note")].Type, ColumnType::Text);  // digits, but a text cell
  EXPECT_EQ(cols[ColumnOf(shape, "Clock")].Type, ColumnType::Text);
  EXPECT_FALSE(shape.Learn(line("", "", "", "")));  // empty cells change nothing
  EXPECT_TRUE(shape.Learn(line("12.25", "-3", "x", "")));
  EXPECT_EQ(cols[ColumnOf(shape, "Count")].Type, ColumnType::Real);
  EXPECT_EQ(cols[ColumnOf(shape, "Level")].Type, ColumnType::Real);
  EXPECT_TRUE(shape.Learn(line("N/A", "1e", "", "")));
  EXPECT_EQ(cols[ColumnOf(shape, "Count")].Type, ColumnType::Text);
  EXPECT_EQ(cols[ColumnOf(shape, "Level")].Type, ColumnType::Text);

  // Values carry their own reading of the text; empty ones are null.
  const LineBuilder l = line("-7", "", "a", "");
  int rows = 0;
  shape.ForEachRow(l, [&](std::span<const TableValue> v) {
    ++rows;
    const TableValue& count = v[ColumnOf(shape, "Count")];
    EXPECT_FALSE(count.Null);
    EXPECT_EQ(count.Type, ColumnType::Integer);
    EXPECT_EQ(count.Integer, -7);
    EXPECT_EQ(count.AsReal(), -7.0);
    EXPECT_TRUE(v[ColumnOf(shape, "Level")].Null);
    EXPECT_EQ(v[ColumnOf(shape, "Note")].Text, "a");
  });
  EXPECT_EQ(rows, 1);
}

// A real cell's value is the double from_chars reads from its text, to the last bit, whether the
// text is a plain decimal read without it or anything else; and a cell's type is the same
// whether its value is read or not.
TEST(CellType, RealValuesAreTheDoublesFromCharsReads) {
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "0.0",
                                    "-0.0000",
                                    "870.0300",
                                    "-74.2000",
                                    "40.5001",
                                    "1.5",
                                    "-50",
                                    ".5",
                                    "5.",
                                    "1e3",
                                    "-",
                                    "",
                                    "inf",
                                    "+1.0",
                                    "0.1",
                                    "0.3",
                                    "123456789012345",
                                    "1234567890123456",
                                    "0.000000000000001",
                                    "9007199254740993",
                                    "1.7976931348623157",
                                    "+5",
                                    "-.5",
                                    "1.2.3",
                                    "12a",
                                    "999999999999999",
                                    "99999999999999999999"};
  testing::SeededNumbers numbers(12345);
  auto next = [&numbers] { return numbers.Next(); };
  for (int i = 0; i < 20000; ++i) {
    const int digits = 1 + static_cast<int>(next() % 17), point = static_cast<int>(next() % 18);
    std::string t = next() % 2 ? "-" : "";
    for (int d = 0; d < digits; ++d) {
      if (d == point && d > 0) t += '.';
      t += static_cast<char>('0' + next() % 10);
    }
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    for (CellKind kind : {CellKind::Real, CellKind::Integer}) {
      double want = 0;
      auto [end, ec] =
          std::from_chars(t.data(), t.data() + t.size(), want, std::chars_format::fixed);
      const bool reads = ec == std::errc() && end == t.data() + t.size() && !t.empty();
      std::int64_t integer = 0;
      double got = 0;
      const ColumnType type = CellType(kind, t, &integer, &got);
      // Learning a column's type reads no value: the type must be the same.
      ASSERT_EQ(CellType(kind, t), type) << t;
      if (type == ColumnType::Integer) continue;  // an integer cell that reads as one
      ASSERT_EQ(type == ColumnType::Real, reads) << t;
      if (!reads) continue;
      std::uint64_t a, b;
      std::memcpy(&a, &want, sizeof a);
      std::memcpy(&b, &got, sizeof b);
      EXPECT_EQ(a, b) << t;
    }
  }
}

TEST(WideShape, ATitleTwiceInALineGetsTwoColumns) {
  TableShape shape;
  LineBuilder l;
  l.Field("CR / LF", CellKind::Text, "\n")
      .Field("Marker Value", CellKind::Integer, "0")
      .Field("CR / LF", CellKind::Text, "\n");
  shape.Learn(l);
  EXPECT_THAT(OrderedNames(shape), ElementsAre("CR / LF", "Marker Value", "CR / LF (2)"));
  EXPECT_THAT(Rows(shape, l), ElementsAre(ElementsAre("\n", "0", "\n")));
}

TEST(WideShape, AlternatingLineLayoutsMapEveryCellToItsOwnColumn) {
  TableShape shape;
  std::vector<LineBuilder> lines;
  for (int i = 0; i < 12; ++i) lines.push_back(ScanLine(1 + i % 3, i));
  for (const LineBuilder& l : lines) shape.Learn(l);
  for (int i = 0; i < 12; ++i) {
    const auto rows = Rows(shape, lines[i]);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].back(), std::to_string(i));
    EXPECT_EQ(rows[0][5] == "<null>", i % 3 < 2) << i;  // "Rec#1 Frequency 3"
  }
}

// Lines that tell their layout are mapped once per run of that layout: a line of another
// layout between two of one maps to its own columns, and the next of the first to the first's.
TEST(LongShape, LinesOfAToldLayoutTakeTheColumnsOfThatLayout) {
  TableShape shape(TableLayout::Long);
  const LineBuilder a1 = ScanLine(2, 1).OfLayout(7), b = ScanLine(3, 2).OfLayout(8),
                    a2 = ScanLine(2, 3).OfLayout(7);
  for (const LineBuilder* l : {&a1, &b, &a2}) shape.Learn(*l);
  EXPECT_EQ(Rows(shape, a1).size(), 2u);
  const auto rows = Rows(shape, b);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2], (std::vector<std::string>{"45.5", "1", "3", "453.5", "-63", "2"}));
  const auto again = Rows(shape, a2);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[1], (std::vector<std::string>{"45.5", "1", "2", "452.5", "-62", "3"}));
  EXPECT_EQ(shape.RowCount(b), 3u);
  EXPECT_EQ(shape.RowCount(a2), 2u);
}

TEST(LongShape, OneRowPerReadingWithTheLineCellsRepeated) {
  TableShape shape(TableLayout::Long);
  LineBuilder l;
  l.Field("Latitude (Decimal Degrees)", CellKind::Real, "45.5")
      .Reading(1, 1, "451.0", "-61")
      .Reading(1, 2, "452.0", "-62")
      .Reading(2, 1, "461.0", "-71")
      .Field("Record Number", CellKind::Integer, "9");
  EXPECT_TRUE(shape.Learn(l));
  EXPECT_THAT(OrderedNames(shape), ElementsAre("Latitude (Decimal Degrees)", "Receiver", "Reading",
                                               "Frequency", "RSSI", "Record Number"));
  EXPECT_EQ(shape.RowCount(l), 3u);
  EXPECT_THAT(Rows(shape, l), ElementsAre(ElementsAre("45.5", "1", "1", "451.0", "-61", "9"),
                                          ElementsAre("45.5", "1", "2", "452.0", "-62", "9"),
                                          ElementsAre("45.5", "2", "1", "461.0", "-71", "9")));
  EXPECT_EQ(shape.Columns()[ColumnOf(shape, "Receiver")].Type, ColumnType::Integer);
  EXPECT_EQ(shape.Columns()[ColumnOf(shape, "Receiver")].Source, TableColumn::Role::Receiver);
  EXPECT_EQ(shape.Columns()[ColumnOf(shape, "RSSI")].Type, ColumnType::Integer);
  EXPECT_EQ(shape.Columns()[ColumnOf(shape, "Frequency")].Source, TableColumn::Role::ReadingCell);
}

// A row holds its own reading's cells alone: a cell that only an earlier reading of the line
// has is null in the rows after it, while the line's own cells stay in every row.
TEST(LongShape, AReadingsCellIsNotCarriedIntoTheNextReadingsRow) {
  TableShape shape(TableLayout::Long);
  LineBuilder l;
  l.Field("Latitude (Decimal Degrees)", CellKind::Real, "45.5")
      .Reading(1, 1, "451.0", "-61")
      .Add("Rec#1 Channel", CellKind::Integer, "17", 1, 1)
      .Reading(1, 2, "452.0", "-62")
      .Add("Rec#1 RSSI 3", CellKind::Integer, "-63", 1, 3)
      .Field("Record Number", CellKind::Integer, "9");
  shape.Learn(l);
  EXPECT_THAT(OrderedNames(shape), ElementsAre("Latitude (Decimal Degrees)", "Receiver", "Reading",
                                               "Frequency", "RSSI", "Record Number", "Channel"));
  EXPECT_THAT(Rows(shape, l),
              ElementsAre(ElementsAre("45.5", "1", "1", "451.0", "-61", "9", "17"),
                          ElementsAre("45.5", "1", "2", "452.0", "-62", "9", "<null>"),
                          ElementsAre("45.5", "1", "3", "<null>", "-63", "9", "<null>")));
  // The same line again gives the same rows: nothing of its last reading stays behind.
  EXPECT_THAT(Rows(shape, l)[0], ElementsAre("45.5", "1", "1", "451.0", "-61", "9", "17"));
}

TEST(LongShape, ALineWithoutReadingsGivesOneRowWithoutReceiver) {
  TableShape shape(TableLayout::Long);
  const LineBuilder reading = ScanLine(2, 1);
  LineBuilder bare;
  bare.Field("Latitude (Decimal Degrees)", CellKind::Real, "45.6")
      .Field("Record Number", CellKind::Integer, "2");
  shape.Learn(reading);
  EXPECT_FALSE(shape.Learn(bare));
  EXPECT_EQ(shape.RowCount(bare), 1u);
  EXPECT_THAT(Rows(shape, bare),
              ElementsAre(ElementsAre("45.6", "<null>", "<null>", "<null>", "<null>", "2")));
  // The same shape learnt in the other order.
  TableShape other(TableLayout::Long);
  other.Learn(bare);
  other.Learn(reading);
  EXPECT_EQ(OrderedNames(other), OrderedNames(shape));
}

TEST(LongShape, ReadingTitlesLoseTheReceiverAndTheOrdinalOnly) {
  EXPECT_EQ(ReadingTitle("Rec#2 RSSI 3", 2, 3), "RSSI");
  EXPECT_EQ(ReadingTitle("Rec#1 Frequency", 1, 1), "Frequency");
  EXPECT_EQ(ReadingTitle("Rec#1 Frequency 12", 1, 12), "Frequency");
  EXPECT_EQ(ReadingTitle("Freq. #4", 1, 4), "Freq.");
  EXPECT_EQ(ReadingTitle("RSSI #14", 1, 14), "RSSI");
  EXPECT_EQ(ReadingTitle("Channel 5", 1, 3), "Channel 5");    // not this reading's ordinal
  EXPECT_EQ(ReadingTitle("Rec#3 RSSI", 1, 1), "Rec#3 RSSI");  // not this receiver
  EXPECT_EQ(ReadingTitle("12", 1, 12), "12");                 // never to an empty title
}

TEST(TableLayoutName, ParsesTheCommandLineSpellings) {
  TableLayout l = TableLayout::Wide;
  EXPECT_TRUE(ParseTableLayout("long", l));
  EXPECT_EQ(l, TableLayout::Long);
  EXPECT_STREQ(TableLayoutName(l), "long");
  EXPECT_FALSE(ParseTableLayout("Long", l));
  EXPECT_TRUE(ParseTableLayout("wide", l));
  EXPECT_EQ(l, TableLayout::Wide);
}

TEST(IsoTimestamp, DateAndGpsTimeOfTheRecord) {
  char buf[32];
  EXPECT_EQ(IsoTimestamp(LineBuilder().When(2026, 5, 14, 13 * 3600 + 12 * 60 + 7).Get().Place, buf),
            "2026-05-14T13:12:07Z");
  EXPECT_EQ(IsoTimestamp(LineBuilder().When(2026, 5, 14, 0.25).Get().Place, buf),
            "2026-05-14T00:00:00.250Z");
  EXPECT_EQ(IsoTimestamp(LineBuilder().When(2026, 5, 14, 86399.9999).Get().Place, buf), "");
  EXPECT_EQ(IsoTimestamp(LineBuilder().When(2026, 13, 14, 10).Get().Place, buf), "");
  LinePlace noDate;
  noDate.HasTime = true;
  noDate.GpsSeconds = 10;
  EXPECT_EQ(IsoTimestamp(noDate, buf), "");
}

TEST(SignalColors, TheDriveTestBandsByDefault) {
  SignalColors colors;
  EXPECT_EQ(colors.Text(), "-70,-85,-100");
  ASSERT_EQ(colors.BandCount(), 4u);
  EXPECT_EQ(colors.Band(-40), 0u);
  EXPECT_EQ(colors.Band(-70), 0u);
  EXPECT_EQ(colors.Band(-70.5), 1u);
  EXPECT_EQ(colors.Band(-85), 1u);
  EXPECT_EQ(colors.Band(-100), 2u);
  EXPECT_EQ(colors.Band(-100.5), 3u);
  EXPECT_EQ(colors.Band(-140), 3u);
  EXPECT_EQ(SignalColors::KmlColor(colors.Color(0)), "ff00ff00");  // green
  EXPECT_EQ(SignalColors::KmlColor(colors.Color(1)), "ff00ffff");  // yellow
  EXPECT_EQ(SignalColors::KmlColor(colors.Color(2)), "ff0080ff");  // orange
  EXPECT_EQ(SignalColors::KmlColor(colors.Color(3)), "ff0000ff");  // red
  EXPECT_EQ(SignalColors::KmlColor(Rgb{0x12, 0x34, 0x56}, 0x80), "80563412");
  EXPECT_EQ(colors.Label(0), "\xE2\x89\xA5 -70 dBm");
  EXPECT_EQ(colors.Label(1), "-70 to -85 dBm");
  EXPECT_EQ(colors.Label(3), "< -100 dBm");
}

TEST(SignalColors, UserThresholds) {
  SignalColors colors;
  std::string error;
  EXPECT_TRUE(SignalColors::Parse(" -90 ,-60", colors, &error));
  EXPECT_EQ(colors.Text(), "-60,-90");
  EXPECT_EQ(colors.Band(-75), 1u);
  EXPECT_EQ(colors.Color(0), (Rgb{0, 255, 0}));
  EXPECT_EQ(colors.Color(1), (Rgb{255, 255, 0}));
  EXPECT_EQ(colors.Color(2), (Rgb{255, 0, 0}));
  EXPECT_TRUE(SignalColors::Parse("-72.5", colors));
  EXPECT_EQ(colors.Label(1), "< -72.5 dBm");

  for (const char* bad : {"", "-70,,-85", "-70,x", "-70,-70", "1,2,3,4,5,6,7,8,9", "-70;-85"}) {
    SignalColors kept;
    EXPECT_FALSE(SignalColors::Parse(bad, kept, &error)) << bad;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(kept.Text(), "-70,-85,-100") << bad;
  }
}

}  // namespace
}  // namespace polvane
