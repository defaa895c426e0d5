#include "convert/table_shape.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace polvane {

bool ParseTableLayout(std::string_view text, TableLayout& layout) {
  if (text == "wide") {
    layout = TableLayout::Wide;
    return true;
  }
  if (text == "long") {
    layout = TableLayout::Long;
    return true;
  }
  return false;
}

const char* TableLayoutName(TableLayout layout) {
  return layout == TableLayout::Long ? "long" : "wide";
}

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The number of a plain decimal as the converters write one ("-74.2000", "870.0300"): an
// optional minus, digits, and a point with digits after it. With at most 15 digits the digits
// are an exact integer and the scale an exact power of ten, so their quotient is the correctly
// rounded value, the same double that from_chars reads. False for any other text, which
// from_chars then reads.
bool PlainDecimal(const char* p, const char* last, double& d) {
  const bool negative = p != last && *p == '-';
  if (negative) ++p;
  std::uint64_t digits = 0;
  int count = 0, scale = 0;
  const char* start = p;
  for (; p != last && static_cast<unsigned char>(*p - '0') < 10; ++p, ++count)
    digits = digits * 10 + static_cast<unsigned>(*p - '0');
  if (p == start) return false;
  if (p != last) {
    if (*p != '.') return false;
    const char* point = ++p;
    for (; p != last && static_cast<unsigned char>(*p - '0') < 10; ++p, ++count)
      digits = digits * 10 + static_cast<unsigned>(*p - '0');
    if (p != last || p == point) return false;
    scale = static_cast<int>(p - point);
  }
  if (count > 15) return false;
  const double v = static_cast<double>(digits) / kExactTens[scale];
  d = negative ? -v : v;
  return true;
}

// The type of a plain number's text told from its shape alone, as reading it would tell it: an
// optional minus, 1 to 15 digits (an exact integer, and a decimal PlainDecimal reads), and
// possibly a point with digits after it. False for any other text, whose type only reading it
// tells.
bool PlainNumberType(CellKind kind, const char* p, const char* last, ColumnType& type) {
  if (p != last && *p == '-') ++p;
  const char* start = p;
  while (p != last && static_cast<unsigned char>(*p - '0') < 10) ++p;
  if (p == start) return false;
  std::ptrdiff_t digits = p - start;
  bool point = false;
  if (p != last) {
    if (*p != '.') return false;
    const char* after = ++p;
    while (p != last && static_cast<unsigned char>(*p - '0') < 10) ++p;
    if (p != last || p == after) return false;
    digits += p - after;
    point = true;
  }
  if (digits > 15) return false;
  type = kind == CellKind::Integer && !point ? ColumnType::Integer : ColumnType::Real;
  return true;
}

}  // namespace

ColumnType CellType(CellKind kind, std::string_view text, std::int64_t* integer, double* real) {
  if (kind == CellKind::Text || kind == CellKind::Time) return ColumnType::Text;
  const char* first = text.data();
  const char* last = first + text.size();
  // Learning a column's type needs no value: the shape of most numbers tells their type.
  if (ColumnType type; !integer && !real && PlainNumberType(kind, first, last, type)) return type;
  if (kind == CellKind::Integer) {
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(first, last, v);
    if (ec == std::errc() && end == last && !text.empty()) {
      if (integer) *integer = v;
      return ColumnType::Integer;
    }
  }
  double d = 0;
  if (PlainDecimal(first, last, d)) {
    if (real) *real = d;
    return ColumnType::Real;
  }
  auto [end, ec] = std::from_chars(first, last, d, std::chars_format::fixed);
  if (ec == std::errc() && end == last && !text.empty()) {
    if (real) *real = d;
    return ColumnType::Real;
  }
  return ColumnType::Text;
}

namespace {

ColumnType NominalType(CellKind kind) {
  switch (kind) {
    case CellKind::Integer:
      return ColumnType::Integer;
    case CellKind::Real:
      return ColumnType::Real;
    default:
      return ColumnType::Text;
  }
}

// Decimal text of a small number into buf (zero-ended); its view.
std::string_view Decimal(char* buf, std::size_t size, unsigned v) {
  auto [end, ec] = std::to_chars(buf, buf + size - 1, v);
  (void)ec;
  *end = '\0';
  return std::string_view(buf, static_cast<std::size_t>(end - buf));
}

bool EndsWithNumber(std::string_view s, std::string_view sep, unsigned n, std::size_t& cut) {
  char num[8];
  std::string_view digits = Decimal(num, sizeof num, n);
  if (s.size() < sep.size() + digits.size()) return false;
  std::string_view tail = s.substr(s.size() - digits.size());
  std::string_view before = s.substr(s.size() - digits.size() - sep.size(), sep.size());
  if (tail != digits || before != sep) return false;
  cut = s.size() - digits.size() - sep.size();
  return true;
}

}  // namespace

std::string_view ReadingTitle(std::string_view title, std::uint8_t receiver,
                              std::uint16_t reading) {
  if (receiver != 0) {
    char prefix[12] = "Rec#";
    std::string_view digits = Decimal(prefix + 4, sizeof prefix - 5, receiver);
    const std::size_t n = 4 + digits.size();
    prefix[n] = ' ';
    std::string_view p(prefix, n + 1);
    if (title.size() > p.size() && title.substr(0, p.size()) == p) title.remove_prefix(p.size());
  }
  if (reading != 0) {
    std::size_t cut = 0;
    if ((EndsWithNumber(title, " #", reading, cut) || EndsWithNumber(title, " ", reading, cut)) &&
        cut > 0)
      title = title.substr(0, cut);
  }
  return title;
}

TableShape::TableShape(TableLayout layout) : layout_(layout) {}

std::size_t TableShape::Column(const std::string& key, std::string_view name,
                               TableColumn::Role role, std::size_t after) {
  auto it = byKey_.find(key);
  if (it != byKey_.end()) return it->second;
  TableColumn col;
  col.Source = role;
  std::string unique(name.empty() ? std::string_view("Column") : name);
  for (int n = 2; byName_.count(unique); ++n) {
    unique.assign(name.empty() ? std::string_view("Column") : name);
    unique += " (" + std::to_string(n) + ")";
  }
  col.Name = unique;
  const std::size_t index = columns_.size();
  columns_.push_back(std::move(col));
  stamp_.push_back(0);
  typeSet_.push_back(false);
  byKey_.emplace(key, index);
  byName_.emplace(unique, index);
  // Display order: right after the column that precedes this one in the line.
  std::size_t pos = 0;
  if (after != SIZE_MAX) {
    for (std::size_t i = 0; i < order_.size(); ++i)
      if (order_[i] == after) {
        pos = i + 1;
        break;
      }
  }
  order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(pos), index);
  values_.resize(columns_.size());
  changed_ = true;
  return index;
}

void TableShape::MapSlow(const Line& line) {
  const std::size_t n = line.Cells.size();
  const std::uint64_t lineStamp = ++serial_;
  // A title repeated within one line (or reading) takes the next free column of that title.
  auto keyed = [&](char tag, std::string_view title, std::uint64_t stamp, TableColumn::Role role,
                   std::size_t after) {
    for (unsigned occurrence = 1;; ++occurrence) {
      key_.clear();
      key_ += tag;
      key_.append(title);
      if (occurrence > 1) {
        key_ += '\x1f';
        key_ += std::to_string(occurrence);
      }
      std::string name(title);
      if (occurrence > 1) name += " (" + std::to_string(occurrence) + ")";
      std::size_t c = Column(key_, name, role, after);
      if (stamp_[c] != stamp) {
        stamp_[c] = stamp;
        return c;
      }
    }
  };

  if (layout_ == TableLayout::Wide) {
    std::size_t prev = SIZE_MAX;
    for (std::size_t i = 0; i < n; ++i) {
      prev = keyed('W', line.Cells[i].Title, lineStamp, TableColumn::Role::LineCell, prev);
      cellColumn_[i] = prev;
    }
  } else {
    // Each row of the line walks: the line's cells before its readings, receiver, reading, the
    // reading's cells, the line's cells after.
    std::size_t firstData = n, lastData = 0;
    for (std::size_t i = 0; i < n; ++i)
      if (IsData(line.Cells[i])) {
        if (firstData == n) firstData = i;
        lastData = i + 1;
      }
    std::size_t prev = SIZE_MAX;
    for (std::size_t i = 0; i < firstData; ++i) {
      if (IsData(line.Cells[i])) continue;
      prev = keyed('L', line.Cells[i].Title, lineStamp, TableColumn::Role::LineCell, prev);
      cellColumn_[i] = prev;
    }
    std::size_t beforeData = prev, afterData = prev;
    for (const Group& g : groups_) {
      if (receiverColumn_ == SIZE_MAX) {
        receiverColumn_ = Column("R", "Receiver", TableColumn::Role::Receiver, beforeData);
        readingColumn_ = Column("N", "Reading", TableColumn::Role::Reading, receiverColumn_);
      }
      std::size_t p = readingColumn_;
      const std::uint64_t groupStamp = ++serial_;
      for (std::size_t i = g.First; i < g.Last; ++i) {
        const Cell& c = line.Cells[i];
        p = keyed('D', ReadingTitle(c.Title, c.Receiver, c.Reading), groupStamp,
                  TableColumn::Role::ReadingCell, p);
        cellColumn_[i] = p;
      }
      afterData = p;
    }
    prev = afterData;
    for (std::size_t i = firstData; i < n; ++i) {
      if (IsData(line.Cells[i])) continue;
      // The line's cells among or after its readings.
      prev = keyed('L', line.Cells[i].Title, lineStamp, TableColumn::Role::LineCell, prev);
      cellColumn_[i] = prev;
      (void)lastData;
    }
  }

  CachedLine& slot = caches_[nextCache_];
  nextCache_ = (nextCache_ + 1) % caches_.size();
  slot.Cells.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const Cell& c = line.Cells[i];
    slot.Cells[i].Title.assign(c.Title);
    slot.Cells[i].Receiver = c.Receiver;
    slot.Cells[i].Reading = c.Reading;
    slot.Cells[i].Column = cellColumn_[i];
  }
}

void TableShape::Map(const Line& line) {
  // A line of the layout mapped last maps as that line did: its columns and readings stand.
  if (line.Layout != 0 && line.Layout == mapped_) return;
  mapped_ = line.Layout;
  const std::size_t n = line.Cells.size();
  if (cellColumn_.size() < n) cellColumn_.resize(n);
  groups_.clear();
  // Only the long layout's rows and columns follow the readings.
  for (std::size_t i = 0; i < n && layout_ == TableLayout::Long; ++i) {
    const Cell& c = line.Cells[i];
    if (!IsData(c)) continue;
    if (!groups_.empty()) {
      Group& g = groups_.back();
      if (g.Receiver == c.Receiver && g.Reading == c.Reading && g.Last == i) {
        g.Last = i + 1;
        continue;
      }
    }
    groups_.push_back(Group{c.Receiver, c.Reading, i, i + 1});
  }
  for (const CachedLine& cache : caches_) {
    if (cache.Cells.size() != n) continue;
    bool same = true;
    for (std::size_t i = 0; i < n && same; ++i) {
      const Cell& c = line.Cells[i];
      const Cached& k = cache.Cells[i];
      same = k.Receiver == c.Receiver && k.Reading == c.Reading && k.Title == c.Title;
    }
    if (!same) continue;
    for (std::size_t i = 0; i < n; ++i) cellColumn_[i] = cache.Cells[i].Column;
    return;
  }
  MapSlow(line);
}

bool TableShape::Learn(const Line& line) {
  changed_ = false;
  Map(line);
  for (std::size_t i = 0; i < line.Cells.size(); ++i) {
    const Cell& c = line.Cells[i];
    const std::size_t col = cellColumn_[i];
    TableColumn& column = columns_[col];
    if (!typeSet_[col]) {
      column.Type = NominalType(c.Kind);
      typeSet_[col] = true;
    }
    if (c.Text.empty() || column.Type == ColumnType::Text) continue;
    const ColumnType t = WiderType(column.Type, CellType(c.Kind, c.Text));
    if (t != column.Type) {
      column.Type = t;
      changed_ = true;
    }
  }
  return changed_;
}

std::size_t TableShape::RowCount(const Line& line) {
  if (layout_ == TableLayout::Wide) return 1;
  Map(line);
  return groups_.empty() ? 1 : groups_.size();
}

void TableShape::SetCell(const Cell& c, std::size_t column) {
  if (column >= values_.size()) return;
  TableValue& v = values_[column];
  v.Text = c.Text;
  if (c.Text.empty()) {
    v.Null = true;
    return;
  }
  v.Null = false;
  v.Type = CellType(c.Kind, c.Text, &v.Integer, &v.Real);
}

void TableShape::FillLine(const Line& line, bool readings) {
  for (TableValue& v : values_) v = TableValue{};
  for (std::size_t i = 0; i < line.Cells.size(); ++i) {
    const Cell& c = line.Cells[i];
    if (readings && IsData(c)) continue;
    SetCell(c, cellColumn_[i]);
  }
}

void TableShape::FillReading(const Line& line, const Group& g) {
  for (std::size_t i = g.First; i < g.Last; ++i) SetCell(line.Cells[i], cellColumn_[i]);
  if (receiverColumn_ == SIZE_MAX) return;
  TableValue& r = values_[receiverColumn_];
  r.Null = false;
  r.Type = ColumnType::Integer;
  r.Integer = g.Receiver;
  r.Text = Decimal(receiverText_, sizeof receiverText_, g.Receiver);
  TableValue& k = values_[readingColumn_];
  k.Null = false;
  k.Type = ColumnType::Integer;
  k.Integer = g.Reading;
  k.Text = Decimal(readingText_, sizeof readingText_, g.Reading);
}

void TableShape::ClearReading(const Group& g) {
  // A reading's cells take columns of readings only, never a column of the line's own cells.
  for (std::size_t i = g.First; i < g.Last; ++i)
    if (cellColumn_[i] < values_.size()) values_[cellColumn_[i]] = TableValue{};
}

}  // namespace polvane

namespace polvane {

std::string_view IsoTimestamp(const LinePlace& place, char (&buf)[32]) {
  if (!place.HasDate || !place.HasTime) return {};
  if (place.Month < 1 || place.Month > 12 || place.Day < 1 || place.Day > 31 || place.Year > 9999)
    return {};
  const double s = place.GpsSeconds;
  if (!(s >= 0 && s < 86400)) return {};
  const long millis = std::lround(s * 1000);
  const long whole = millis / 1000, fraction = millis % 1000;
  if (whole >= 86400) return {};  // rounds up into the next day: no time of this day
  char* p = buf;
  auto put = [&p](unsigned v, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
      p[i] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    p += digits;
  };
  put(place.Year, 4);
  *p++ = '-';
  put(place.Month, 2);
  *p++ = '-';
  put(place.Day, 2);
  *p++ = 'T';
  put(static_cast<unsigned>(whole / 3600), 2);
  *p++ = ':';
  put(static_cast<unsigned>(whole / 60 % 60), 2);
  *p++ = ':';
  put(static_cast<unsigned>(whole % 60), 2);
  if (fraction != 0) {
    *p++ = '.';
    put(static_cast<unsigned>(fraction), 3);
  }
  *p++ = 'Z';
  return std::string_view(buf, static_cast<std::size_t>(p - buf));
}

}  // namespace polvane
