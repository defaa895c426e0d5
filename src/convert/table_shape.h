// One schema for the lines of a conversion. Within one log, lines can carry different numbers of
// data-group readings, so the titles line does not cover every cell; a table (a data frame, a
// GIS layer) needs one set of columns. Two shapes are offered, the same for every consumer:
//
// - wide (the default): one row per line. The columns are the cells of the widest lines: a cell
//   is matched to a column by its title (the cells past the titles line carry the data group's
//   title with the reading's ordinal, "Rec#1 Frequency 2"), so the line's own cells after the
//   data group keep their columns whatever the number of readings before them. A column a line
//   does not fill is null in that line's row.
// - long: one row per data-group reading. The line's own cells (receiver 0) are repeated in every
//   row of the line; "Receiver" and "Reading" hold the receiver (1..4) and the reading's ordinal;
//   the reading's cells go to columns named by their title without the receiver prefix "Rec#N "
//   and without the reading's ordinal (" N" or " #N"), so "Rec#2 RSSI 3" and "Rec#1 RSSI" both
//   fill "RSSI". A line without a reading gives one row with a null receiver and reading.
//
// Columns are learnt from the lines (Learn) and keep their index once made: a new column is
// appended to Columns(), and Order() says where it stands among the others, the order in which
// the delimited output writes the cells (a new cell is placed right after the cell that precedes
// it in its line). So a consumer can either
// - learn the whole schema first (learn every line, then create the table from Order(); the GIS
//   writers do so, keeping the lines in a spool file meanwhile), or
// - add columns as they appear (after each Learn, create the columns from the old Columns().size()
//   on; a column's type can still widen, Integer to Real to Text, as later lines are learnt, so
//   such a consumer keeps values it can convert at the end, as the Python data frames do).
//
// Column types follow the cells' kinds: Integer and Real cells whose text reads as a number give
// Integer and Real columns; text that does not read as one widens the column (Integer to Real,
// then to Text); Text and Time cells give Text columns (the exact text of the delimited output).
// Empty cells are null and never change a type.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "convert/line_sink.h"

namespace polvane {

enum class TableLayout : std::uint8_t { Wide, Long };
enum class ColumnType : std::uint8_t { Integer, Real, Text };

// "wide" or "long" (as the command line and the Python module spell them); false otherwise.
bool ParseTableLayout(std::string_view text, TableLayout& layout);
const char* TableLayoutName(TableLayout layout);

struct TableColumn {
  std::string Name;  // unique within the table
  ColumnType Type = ColumnType::Integer;
  // What the column holds: a line's own cell, a reading's cell (long), or the receiver or
  // reading number (long).
  enum class Role : std::uint8_t {
    LineCell,
    ReadingCell,
    Receiver,
    Reading
  } Source = Role::LineCell;
};

// One value of a row. Text is always the cell's exact text (for Receiver and Reading, the number
// written in decimal); Integer and Real are set when Type says so.
struct TableValue {
  bool Null = true;
  ColumnType Type = ColumnType::Text;
  std::string_view Text;
  std::int64_t Integer = 0;
  double Real = 0;
  // The value as a column of type t holds it (an Integer value in a Real column, ...).
  double AsReal() const {
    return Type == ColumnType::Integer ? static_cast<double>(Integer) : Real;
  }
};

// The type a cell's text gives: the kind's type when the text reads as one, else wider.
ColumnType CellType(CellKind kind, std::string_view text, std::int64_t* integer = nullptr,
                    double* real = nullptr);
inline ColumnType WiderType(ColumnType a, ColumnType b) {
  return a > b ? a : b;
}

class TableShape {
 public:
  explicit TableShape(TableLayout layout = TableLayout::Wide);

  TableLayout Layout() const { return layout_; }

  // Learns the columns of a line; true when a column was added or a column's type widened.
  bool Learn(const Line& line);

  // The columns in the order they were made (indices stay valid), and their display order.
  const std::vector<TableColumn>& Columns() const { return columns_; }
  const std::vector<std::size_t>& Order() const { return order_; }

  // How many rows the line gives (wide 1, long one per reading, at least 1).
  std::size_t RowCount(const Line& line);

  // The rows of a line (which must have been learnt), each a span indexed by column index,
  // valid until the next call; cells of columns the row does not fill are null.
  template <class Fn>
  void ForEachRow(const Line& line, Fn&& fn) {
    Map(line);
    if (layout_ == TableLayout::Wide || groups_.empty()) {
      FillLine(line, false);
      fn(std::span<const TableValue>(values_));
      return;
    }
    // The line's own cells once, each reading's over them in turn.
    FillLine(line, true);
    for (const Group& g : groups_) {
      FillReading(line, g);
      fn(std::span<const TableValue>(values_));
      ClearReading(g);
    }
  }

 private:
  struct Group {  // one reading of a line: its receiver, ordinal and cell range in the line
    std::uint8_t Receiver;
    std::uint16_t Reading;
    std::size_t First, Last;
  };
  struct Cached {
    std::string Title;
    std::uint8_t Receiver;
    std::uint16_t Reading;
    std::size_t Column;
  };
  struct CachedLine {
    std::vector<Cached> Cells;
  };

  void Map(const Line& line);
  void MapSlow(const Line& line);
  std::size_t Column(const std::string& key, std::string_view name, TableColumn::Role role,
                     std::size_t after);
  // The values of the line's cells, every other column null; without the readings' cells
  // where `readings` says the line's rows are its readings.
  void FillLine(const Line& line, bool readings);
  // A reading's cells, receiver and ordinal over the line's own cells; ClearReading takes its
  // cells off again (the next reading sets its own receiver and ordinal).
  void FillReading(const Line& line, const Group& g);
  void ClearReading(const Group& g);
  void SetCell(const Cell& c, std::size_t column);
  bool IsData(const Cell& c) const { return c.Receiver != 0 || c.Reading != 0; }

  TableLayout layout_;
  std::vector<TableColumn> columns_;
  std::vector<std::size_t> order_;
  std::unordered_map<std::string, std::size_t> byKey_;
  std::unordered_map<std::string, std::size_t> byName_;
  std::vector<std::uint64_t> stamp_;   // the line or reading that last took the column
  std::vector<std::uint8_t> typeSet_;  // whether the column has its first type
  std::uint64_t serial_ = 0;
  std::string key_;
  // The mappings of the last few line layouts (scan and fast lines can alternate); lines of one
  // log mostly repeat one of them.
  std::array<CachedLine, 4> caches_;
  std::size_t nextCache_ = 0;
  std::vector<std::size_t> cellColumn_;
  std::vector<Group> groups_;
  // The Layout of the line that cellColumn_ and groups_ were made for (0: none told).
  std::uint64_t mapped_ = 0;
  std::size_t receiverColumn_ = SIZE_MAX, readingColumn_ = SIZE_MAX;
  std::vector<TableValue> values_;
  char receiverText_[4] = {}, readingText_[8] = {};
  bool changed_ = false;
};

// The receiver-neutral, reading-neutral title of a reading's cell, as the long shape names its
// column: "Rec#2 RSSI 3" of receiver 2, reading 3 is "RSSI"; "Freq. #4" of reading 4 is "Freq.".
std::string_view ReadingTitle(std::string_view title, std::uint8_t receiver, std::uint16_t reading);

}  // namespace polvane

namespace polvane {

// The record's time as ISO-8601 UTC ("2026-05-14T13:12:00Z", with milliseconds where the GPS
// time has a fraction), where the record has both a date and a GPS time of that day; empty
// otherwise. The view points into buf.
std::string_view IsoTimestamp(const LinePlace& place, char (&buf)[32]);

}  // namespace polvane
