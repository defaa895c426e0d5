#include "gis/gpkg_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace polvane {

namespace {

// An entry of a node: a feature's id (a child's node number above the leaves) and its box, in
// the 32-bit floats the R-tree keeps, rounded outwards so that the box holds the point.
struct Entry {
  std::int64_t Id;
  float MinX, MaxX, MinY, MaxY;
};

float Down(double v) {
  float f = static_cast<float>(v);
  if (static_cast<double>(f) > v) f = std::nextafter(f, -INFINITY);
  return f;
}
float Up(double v) {
  float f = static_cast<float>(v);
  if (static_cast<double>(f) < v) f = std::nextafter(f, INFINITY);
  return f;
}

std::string Quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    q += c;
    if (c == '"') q += '"';
  }
  return q + "\"";
}

std::string Literal(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    q += c;
    if (c == '\'') q += '\'';
  }
  return q + "'";
}

// The point of a GeoPackage geometry blob: the "GP" header (flags: byte order, envelope size,
// empty), then a WKB point. False for anything else (no geometry, empty, not a point).
bool BlobPoint(const unsigned char* b, int size, double& x, double& y) {
  if (!b || size < 8 || b[0] != 'G' || b[1] != 'P') return false;
  const unsigned flags = b[3];
  if (flags & 0x10) return false;  // empty
  static constexpr int kEnvelope[] = {0, 32, 48, 48, 64};
  const unsigned envelope = (flags >> 1) & 7;
  if (envelope > 4) return false;
  const int at = 8 + kEnvelope[envelope];
  if (size < at + 21) return false;
  const bool little = b[at] == 1;
  auto u32 = [&](int i) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= std::uint32_t(b[i + k]) << (little ? 8 * k : 8 * (3 - k));
    return v;
  };
  auto f64 = [&](int i) {
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v |= std::uint64_t(b[i + k]) << (little ? 8 * k : 8 * (7 - k));
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
  };
  if (u32(at + 1) % 1000 != 1) return false;  // a point (with Z or M, its X and Y first)
  x = f64(at + 5);
  y = f64(at + 13);
  return std::isfinite(x) && std::isfinite(y);
}

class Database {
 public:
  ~Database() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    if (db_) sqlite3_close(db_);
  }
  bool Open(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      return false;
    return Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
  }
  bool Exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return nullptr;
    statements_.push_back(s);
    return s;
  }
  // Binds the integers and the blob (when given) and runs the statement once.
  bool Run(sqlite3_stmt* s, std::int64_t a, std::int64_t b, const void* blob = nullptr,
           int size = 0) {
    sqlite3_bind_int64(s, 1, a);
    if (blob)
      sqlite3_bind_blob(s, 2, blob, size, SQLITE_STATIC);
    else
      sqlite3_bind_int64(s, 2, b);
    const bool ok = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
    return ok;
  }
  std::string Error() const { return db_ ? sqlite3_errmsg(db_) : "cannot open the database"; }
  sqlite3* Handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
};

// Rows of one table inserted many to a statement. SQLite runs a statement once per step, and
// each run opens the table's cursors, reads and updates its AUTOINCREMENT counter and closes
// them again, then seeks each row's place from the root of the table's tree; a statement of
// many rows does the first once for them all, and rows of ascending ids then go to the end of
// the tree from where the last one went. The values are kept until the batch is full and bound
// then, so that a text or blob need not outlive the call that gives it.
class RowBatch {
 public:
  // `head` is the statement's start ("INSERT INTO t (a, b)"), `columns` the values of a row.
  bool Prepare(Database& db, std::string head, int columns) {
    db_ = &db;
    head_ = std::move(head);
    columns_ = columns;
    const int limit = sqlite3_limit(db.Handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    rows_ = std::clamp(limit / std::max(columns, 1), 1, kMostRows);
    values_.assign(static_cast<std::size_t>(rows_ * columns_), Value{});
    full_ = Statement(rows_);
    return full_ != nullptr;
  }

  // The values of the row being filled, by column; a column not given is null.
  void Null(int k) { At(k) = Value{}; }
  void Integer(int k, std::int64_t v) {
    Value& x = At(k);
    x.Type = SQLITE_INTEGER;
    x.Integer = v;
  }
  void Real(int k, double v) {
    Value& x = At(k);
    x.Type = SQLITE_FLOAT;
    x.Real = v;
  }
  void Text(int k, std::string_view v) { Bytes(k, SQLITE_TEXT, v.data(), v.size()); }
  void Blob(int k, const void* data, std::size_t size) { Bytes(k, SQLITE_BLOB, data, size); }

  // Ends the row; the batch is inserted once it is full. False when SQLite failed.
  bool EndRow() {
    if (++filled_ < rows_) return Clear(filled_), true;
    return Insert(full_);
  }
  // Inserts the rows of a batch that is not full.
  bool Flush() {
    if (filled_ == 0) return true;
    sqlite3_stmt* rest = Statement(filled_);
    return rest && Insert(rest);
  }

 private:
  static constexpr int kMostRows = 256;

  struct Value {
    int Type = SQLITE_NULL;
    std::int64_t Integer = 0;
    double Real = 0;
    std::size_t At = 0, Size = 0;  // a text's or blob's bytes in bytes_
  };

  Value& At(int k) { return values_[static_cast<std::size_t>(filled_ * columns_ + k)]; }
  void Bytes(int k, int type, const void* data, std::size_t size) {
    Value& x = At(k);
    x.Type = type;
    x.At = bytes_.size();
    x.Size = size;
    bytes_.insert(bytes_.end(), static_cast<const char*>(data),
                  static_cast<const char*>(data) + size);
  }
  void Clear(int row) { std::fill_n(values_.begin() + row * columns_, columns_, Value{}); }

  sqlite3_stmt* Statement(int rows) {
    std::string sql = head_ + " VALUES ";
    std::string marks = "(?";
    for (int k = 1; k < columns_; ++k) marks += ", ?";
    marks += ")";
    for (int r = 0; r < rows; ++r) sql += (r ? ", " : "") + marks;
    return db_->Prepare(sql);
  }

  bool Insert(sqlite3_stmt* s) {
    const int count = filled_ * columns_;
    for (int i = 0; i < count; ++i) {
      const Value& x = values_[static_cast<std::size_t>(i)];
      const int at = i + 1;
      switch (x.Type) {
        case SQLITE_INTEGER:
          sqlite3_bind_int64(s, at, x.Integer);
          break;
        case SQLITE_FLOAT:
          sqlite3_bind_double(s, at, x.Real);
          break;
        case SQLITE_TEXT:
          // An empty text is bound from a text of its own: a null pointer would bind a null.
          sqlite3_bind_text(s, at, x.Size ? bytes_.data() + x.At : "", static_cast<int>(x.Size),
                            SQLITE_STATIC);
          break;
        case SQLITE_BLOB:
          sqlite3_bind_blob(s, at, bytes_.data() + x.At, static_cast<int>(x.Size), SQLITE_STATIC);
          break;
        default:
          sqlite3_bind_null(s, at);
      }
    }
    const bool ok = sqlite3_step(s) == SQLITE_DONE;
    // The bindings are left as they are: the texts and blobs they point to in bytes_ are never
    // read again, as every value of a statement is bound anew before it runs next.
    sqlite3_reset(s);
    bytes_.clear();
    filled_ = 0;
    Clear(0);
    return ok;
  }

  Database* db_ = nullptr;
  std::string head_;
  int columns_ = 0, rows_ = 1, filled_ = 0;
  std::vector<Value> values_;
  std::vector<char> bytes_;
  sqlite3_stmt* full_ = nullptr;
};

void PutBig(unsigned char* at, std::uint64_t v, int bytes) {
  for (int k = bytes - 1; k >= 0; --k, v >>= 8) at[k] = static_cast<unsigned char>(v & 0xff);
}
void PutFloat(unsigned char* at, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  PutBig(at, v, 4);
}

// Writes the packed tree of `entries` into the R-tree's node, rowid and parent tables.
class Packer {
 public:
  Packer(Database& db, const std::string& rtree, int nodeSize)
      : db_(db), nodeSize_(nodeSize), capacity_((nodeSize - 4) / kCell), blob_(nodeSize) {
    node_ = db.Prepare("INSERT OR REPLACE INTO " + Quoted(rtree + "_node") + " VALUES (?, ?)");
    parent_ = db.Prepare("INSERT INTO " + Quoted(rtree + "_parent") + " VALUES (?, ?)");
    rowidReady_ = rowid_.Prepare(db, "INSERT INTO " + Quoted(rtree + "_rowid") + " (nodeno)", 1);
    rowidAt_ = db.Prepare("INSERT INTO " + Quoted(rtree + "_rowid") + " VALUES (?, ?)");
  }

  bool Pack(std::vector<Entry> entries) {
    if (!node_ || !rowidReady_ || !rowidAt_ || !parent_ || capacity_ < 2) return false;
    leaves_.reserve(entries.size());
    std::int64_t next = 2;  // the root is node 1
    int depth = 0;
    std::vector<Entry> parents;
    while (entries.size() > capacity_) {
      Tile(entries);
      parents.clear();
      for (std::size_t from = 0; from < entries.size(); from += capacity_) {
        const std::size_t to = std::min(entries.size(), from + capacity_);
        const std::int64_t number = next++;
        if (!WriteNode(number, 0, depth == 0, entries, from, to)) return false;
        parents.push_back(Box(number, entries, from, to));
      }
      entries.swap(parents);
      if (depth == 0) std::vector<Entry>().swap(parents);  // the leaves' entries are written
      ++depth;
    }
    return WriteNode(1, depth, depth == 0, entries, 0, entries.size()) && WriteLeaves();
  }

 private:
  static constexpr std::size_t kCell = 8 + 4 * 4;

  // Sort-tile-recursive order: vertical slices of whole nodes by the boxes' centres in
  // longitude, each slice by latitude.
  void Tile(std::vector<Entry>& e) const {
    auto cx = [](const Entry& a) { return double(a.MinX) + a.MaxX; };
    auto cy = [](const Entry& a) { return double(a.MinY) + a.MaxY; };
    std::sort(e.begin(), e.end(), [&](const Entry& a, const Entry& b) { return cx(a) < cx(b); });
    const std::size_t nodes = (e.size() + capacity_ - 1) / capacity_;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(double(nodes))));
    const std::size_t perSlice = ((nodes + slices - 1) / slices) * capacity_;
    for (std::size_t from = 0; from < e.size(); from += perSlice) {
      const auto to = e.begin() + static_cast<std::ptrdiff_t>(std::min(e.size(), from + perSlice));
      std::sort(e.begin() + static_cast<std::ptrdiff_t>(from), to,
                [&](const Entry& a, const Entry& b) { return cy(a) < cy(b); });
    }
  }

  static Entry Box(std::int64_t id, const std::vector<Entry>& e, std::size_t from, std::size_t to) {
    Entry box{id, e[from].MinX, e[from].MaxX, e[from].MinY, e[from].MaxY};
    for (std::size_t i = from + 1; i < to; ++i) {
      box.MinX = std::min(box.MinX, e[i].MinX);
      box.MaxX = std::max(box.MaxX, e[i].MaxX);
      box.MinY = std::min(box.MinY, e[i].MinY);
      box.MaxY = std::max(box.MaxY, e[i].MaxY);
    }
    return box;
  }

  // A node: the tree's depth (read from the root only) and its cell count, big-endian, then
  // the cells: the id and the box's four coordinates.
  bool WriteNode(std::int64_t number, int depth, bool leaf, const std::vector<Entry>& e,
                 std::size_t from, std::size_t to) {
    std::fill(blob_.begin(), blob_.end(), 0);
    PutBig(blob_.data(), static_cast<std::uint64_t>(depth), 2);
    PutBig(blob_.data() + 2, to - from, 2);
    unsigned char* cell = blob_.data() + 4;
    for (std::size_t i = from; i < to; ++i, cell += kCell) {
      PutBig(cell, static_cast<std::uint64_t>(e[i].Id), 8);
      PutFloat(cell + 8, e[i].MinX);
      PutFloat(cell + 12, e[i].MaxX);
      PutFloat(cell + 16, e[i].MinY);
      PutFloat(cell + 20, e[i].MaxY);
      if (leaf)
        leaves_.push_back({e[i].Id, number});
      else if (!db_.Run(parent_, e[i].Id, number))
        return false;
    }
    return db_.Run(node_, number, 0, blob_.data(), nodeSize_);
  }

  // The leaf of each feature in the order of their ids, so that the rows go to the end of the
  // rowid table's tree one after the other. The ids are the table's fids, counted from 1 with
  // few gaps (the rows without a point): each leaf is put at its id's place rather than sorted.
  bool WriteLeaves() {
    std::int64_t most = 0;
    bool dense = true;
    for (const auto& [id, node] : leaves_) {
      dense = dense && id > 0;
      most = std::max(most, id);
    }
    if (!dense || static_cast<std::uint64_t>(most) > 2 * leaves_.size() + 1024) {
      std::sort(leaves_.begin(), leaves_.end());
      for (const auto& [id, node] : leaves_)
        if (!WriteLeaf(id, node)) return false;
      return EndLeaves();
    }
    std::vector<std::int64_t> nodeOf(static_cast<std::size_t>(most) + 1, 0);
    for (const auto& [id, node] : leaves_) nodeOf[static_cast<std::size_t>(id)] = node;
    std::vector<std::pair<std::int64_t, std::int64_t>>().swap(leaves_);
    for (std::size_t id = 1; id < nodeOf.size(); ++id)
      if (nodeOf[id] != 0 && !WriteLeaf(static_cast<std::int64_t>(id), nodeOf[id])) return false;
    return EndLeaves();
  }
  // A feature whose id follows the last one's takes the table's next rowid, which is that id
  // (one value less to bind and no seek to check it); the first after a gap goes in with its id.
  bool WriteLeaf(std::int64_t id, std::int64_t node) {
    const bool next = id == lastLeaf_ + 1;
    lastLeaf_ = id;
    if (next) {
      rowid_.Integer(0, node);
      return rowid_.EndRow();
    }
    return rowid_.Flush() && db_.Run(rowidAt_, id, node);
  }
  bool EndLeaves() {
    return rowid_.Flush() &&
           (lastLeaf_ == 0 || sqlite3_last_insert_rowid(db_.Handle()) == lastLeaf_);
  }

  Database& db_;
  int nodeSize_;
  std::size_t capacity_;
  std::vector<unsigned char> blob_;
  sqlite3_stmt *node_ = nullptr, *parent_ = nullptr;
  RowBatch rowid_;  // the leaves of features whose ids follow one another
  sqlite3_stmt* rowidAt_ = nullptr;
  bool rowidReady_ = false;
  std::int64_t lastLeaf_ = 0;  // the id of the last feature whose leaf was written
  std::vector<std::pair<std::int64_t, std::int64_t>> leaves_;  // feature id, leaf node
};

// Indexes the table's points by SQLite's inserts, one at a time.
std::string InsertFromTable(Database& db, const std::string& t, const std::string& g,
                            const std::string& r) {
  sqlite3_stmt* read = db.Prepare("SELECT fid, " + g + " FROM " + t + " WHERE " + g + " NOT NULL");
  sqlite3_stmt* insert = db.Prepare("INSERT INTO " + r + " VALUES (?, ?, ?, ?, ?)");
  if (!read || !insert) return db.Error();
  for (int step; (step = sqlite3_step(read)) != SQLITE_DONE;) {
    if (step != SQLITE_ROW) return db.Error();
    double x, y;
    const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(read, 1));
    if (!BlobPoint(blob, sqlite3_column_bytes(read, 1), x, y)) continue;
    sqlite3_bind_int64(insert, 1, sqlite3_column_int64(read, 0));
    sqlite3_bind_double(insert, 2, Down(x));
    sqlite3_bind_double(insert, 3, Up(x));
    sqlite3_bind_double(insert, 4, Down(y));
    sqlite3_bind_double(insert, 5, Up(y));
    const bool ok = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    if (!ok) return db.Error();
  }
  return {};
}

}  // namespace

std::string AddGeoPackageSpatialIndex(const std::string& path, const std::string& table,
                                      const std::string& column,
                                      std::vector<IndexedPoint>* points) {
  Database db;
  if (!db.Open(path)) return db.Error();
  const std::string rtree = "rtree_" + table + "_" + column;
  const std::string t = Quoted(table), g = Quoted(column), r = Quoted(rtree);
  // The index, its triggers and its row in gpkg_extensions, as the GeoPackage standard gives
  // them.
  const std::string box = "NEW.fid, ST_MinX(NEW." + g + "), ST_MaxX(NEW." + g + "), ST_MinY(NEW." +
                          g + "), ST_MaxY(NEW." + g + ")";
  const std::string placed = "NEW." + g + " NOT NULL AND NOT ST_IsEmpty(NEW." + g + ")";
  const std::string unplaced = "NEW." + g + " IS NULL OR ST_IsEmpty(NEW." + g + ")";
  auto trigger = [&](const char* name, const std::string& when, const std::string& body) {
    return "CREATE TRIGGER " + Quoted(rtree + "_" + name) + " " + when + " BEGIN " + body +
           "; END;";
  };
  const std::string put = "INSERT OR REPLACE INTO " + r + " VALUES (" + box + ")";
  const std::string drop = "DELETE FROM " + r + " WHERE id = OLD.fid";
  const std::string schema =
      "BEGIN; CREATE VIRTUAL TABLE " + r + " USING rtree(id, minx, maxx, miny, maxy);" +
      trigger("insert", "AFTER INSERT ON " + t + " WHEN (" + placed + ")", put) +
      trigger("update1",
              "AFTER UPDATE OF " + g + " ON " + t + " WHEN OLD.fid = NEW.fid AND (" + placed + ")",
              put) +
      trigger(
          "update2",
          "AFTER UPDATE OF " + g + " ON " + t + " WHEN OLD.fid = NEW.fid AND (" + unplaced + ")",
          drop) +
      trigger("update3", "AFTER UPDATE ON " + t + " WHEN OLD.fid != NEW.fid AND (" + placed + ")",
              drop + "; " + put) +
      trigger("update4", "AFTER UPDATE ON " + t + " WHEN OLD.fid != NEW.fid AND (" + unplaced + ")",
              "DELETE FROM " + r + " WHERE id IN (OLD.fid, NEW.fid)") +
      trigger("delete", "AFTER DELETE ON " + t + " WHEN OLD." + g + " NOT NULL", drop) +
      "CREATE TABLE IF NOT EXISTS gpkg_extensions (table_name TEXT, column_name TEXT, "
      "extension_name TEXT NOT NULL, definition TEXT NOT NULL, scope TEXT NOT NULL, "
      "CONSTRAINT ge_tce UNIQUE (table_name, column_name, extension_name));"
      "INSERT INTO gpkg_extensions VALUES (" +
      Literal(table) + ", " + Literal(column) +
      ", 'gpkg_rtree_index', 'http://www.geopackage.org/spec120/#extension_rtree', "
      "'write-only');";
  if (!db.Exec(schema)) return db.Error();

  std::vector<Entry> entries;
  if (points) {
    entries.reserve(points->size());
    for (const IndexedPoint& p : *points)
      entries.push_back({p.Fid, Down(p.X), Up(p.X), Down(p.Y), Up(p.Y)});
    std::vector<IndexedPoint>().swap(*points);  // their boxes are all the packing needs
  } else if (std::string why = InsertFromTable(db, t, g, r); !why.empty()) {
    return why;
  }
  if (!entries.empty()) {
    // The node size SQLite chose for the new table is that of its (empty) root.
    sqlite3_stmt* size =
        db.Prepare("SELECT length(data) FROM " + Quoted(rtree + "_node") + " WHERE nodeno = 1");
    if (!size || sqlite3_step(size) != SQLITE_ROW) return db.Error();
    const int nodeSize = sqlite3_column_int(size, 0);
    Packer packer(db, rtree, nodeSize);
    if (!packer.Pack(std::move(entries))) return db.Error();
  }
  if (!db.Exec("COMMIT")) return db.Error();
  return {};
}

struct GeoPackageRows::Impl {
  Database db;
  std::string table;
  RowBatch rows;                                              // the point, then the attributes
  std::int64_t next = 1;                                      // the next row's fid
  std::uint64_t inTransaction = 0;                            // rows since the last commit
  std::vector<std::pair<std::string, std::string>> triggers;  // name, SQL
  bool placed = false;                                        // the row has a point
  unsigned char blob[8 + 21] = {'G', 'P', 0, 1};
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool anyPoint = false;
  std::string error;

  bool Fail() {
    if (error.empty()) error = db.Error();
    return false;
  }
};

// Rows between two commits: SQLite keeps the pages of a transaction it has written to the file
// without a journal, so the commits only bound what a failure in the middle would leave.
constexpr std::uint64_t kRowsPerTransaction = 1000000;

GeoPackageRows::GeoPackageRows() : impl_(std::make_unique<Impl>()) {}
GeoPackageRows::~GeoPackageRows() = default;

std::string GeoPackageRows::Open(const std::string& path, const std::string& table,
                                 const std::string& fid, const std::string& geometry,
                                 const std::vector<std::string>& columns) {
  Impl& m = *impl_;
  if (!m.db.Open(path)) return m.db.Error();
  m.table = table;
  // The spatial reference GDAL gave the geometry column, which each blob names.
  sqlite3_stmt* srsOf =
      m.db.Prepare("SELECT srs_id FROM gpkg_geometry_columns WHERE lower(table_name) = lower(" +
                   Literal(table) + ")");
  if (!srsOf || sqlite3_step(srsOf) != SQLITE_ROW) return "the table has no geometry column";
  const int srs = sqlite3_column_int(srsOf, 0);
  for (int k = 0; k < 4; ++k)
    m.blob[4 + k] = static_cast<unsigned char>(static_cast<std::uint32_t>(srs) >> (8 * k));
  m.blob[8] = 1;  // little-endian WKB
  m.blob[9] = 1;  // a point
  // The feature-count triggers would update the count once per row.
  sqlite3_stmt* find = m.db.Prepare(
      "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND lower(tbl_name) = lower(" +
      Literal(table) + ") AND name LIKE 'trigger_%_feature_count_%'");
  if (!find) return m.db.Error();
  for (int step; (step = sqlite3_step(find)) != SQLITE_DONE;) {
    if (step != SQLITE_ROW) return m.db.Error();
    m.triggers.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(find, 0)),
                            reinterpret_cast<const char*>(sqlite3_column_text(find, 1)));
  }
  std::string sql = "BEGIN;";
  for (const auto& [name, text] : m.triggers) sql += "DROP TRIGGER " + Quoted(name) + ";";
  if (!m.db.Exec(sql)) return m.db.Error();
  // The fids are SQLite's own: each row takes the next one of the table's AUTOINCREMENT
  // counter, as GDAL numbers its features, without a value bound and a seek to check it. The
  // first is after the rows and the counter the table has (a new table has neither).
  std::string last =
      "SELECT max(coalesce((SELECT max(" + Quoted(fid) + ") FROM " + Quoted(table) + "), 0)";
  sqlite3_stmt* counter =
      m.db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'sqlite_sequence'");
  if (!counter) return m.db.Error();
  const bool sequence = sqlite3_step(counter) == SQLITE_ROW;
  sqlite3_reset(counter);  // no read left open beside the inserts
  if (sequence)
    last +=
        ", coalesce((SELECT max(seq) FROM sqlite_sequence WHERE name = " + Literal(table) + "), 0)";
  sqlite3_stmt* first = m.db.Prepare(last + ")");
  if (!first || sqlite3_step(first) != SQLITE_ROW) return m.db.Error();
  m.next = sqlite3_column_int64(first, 0) + 1;
  sqlite3_reset(first);
  std::string names = Quoted(geometry);
  for (const std::string& c : columns) names += ", " + Quoted(c);
  if (!m.rows.Prepare(m.db, "INSERT INTO " + Quoted(table) + " (" + names + ")",
                      static_cast<int>(columns.size()) + 1))
    return m.db.Error();
  return {};
}

void GeoPackageRows::Null(int k) {
  impl_->rows.Null(k + 1);
}
void GeoPackageRows::Integer(int k, std::int64_t v) {
  impl_->rows.Integer(k + 1, v);
}
void GeoPackageRows::Real(int k, double v) {
  impl_->rows.Real(k + 1, v);
}
void GeoPackageRows::Text(int k, std::string_view v) {
  impl_->rows.Text(k + 1, v);
}

// The point's coordinates in the blob, little-endian as its header says whatever the host's
// order; the layer's extent takes them in.
void GeoPackageRows::Point(double x, double y) {
  Impl& m = *impl_;
  auto put = [](unsigned char* at, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int k = 0; k < 8; ++k, bits >>= 8) at[k] = static_cast<unsigned char>(bits & 0xff);
  };
  put(m.blob + 8 + 5, x);
  put(m.blob + 8 + 13, y);
  m.placed = true;
  if (!m.anyPoint) {
    m.minX = m.maxX = x;
    m.minY = m.maxY = y;
    m.anyPoint = true;
    return;
  }
  m.minX = std::min(m.minX, x);
  m.maxX = std::max(m.maxX, x);
  m.minY = std::min(m.minY, y);
  m.maxY = std::max(m.maxY, y);
}

std::int64_t GeoPackageRows::Write() {
  Impl& m = *impl_;
  if (m.placed)
    m.rows.Blob(0, m.blob, sizeof m.blob);
  else
    m.rows.Null(0);
  m.placed = false;
  if (!m.rows.EndRow()) return m.Fail(), 0;
  if (++m.inTransaction == kRowsPerTransaction) {
    m.inTransaction = 0;
    if (!m.db.Exec("COMMIT; BEGIN")) return m.Fail(), 0;
  }
  return m.next++;
}

std::string GeoPackageRows::Finish() {
  Impl& m = *impl_;
  if (!m.error.empty()) return m.error;
  if (!m.rows.Flush()) return m.db.Error();
  // The points were indexed by the fids counted here: they must be the ones SQLite gave.
  if (m.next > 1 && sqlite3_last_insert_rowid(m.db.Handle()) != m.next - 1)
    return "the table's fids are not the ones counted";
  const std::string table = Literal(m.table);
  std::string sql;
  if (m.anyPoint) {
    char extent[160];
    std::snprintf(extent, sizeof extent,
                  "min_x = %.17g, min_y = %.17g, max_x = %.17g, max_y = %.17g", m.minX, m.minY,
                  m.maxX, m.maxY);
    sql += std::string("UPDATE gpkg_contents SET ") + extent + " WHERE lower(table_name) = lower(" +
           table + ");";
  }
  sql +=
      "UPDATE gpkg_contents SET last_change = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE "
      "lower(table_name) = lower(" +
      table + ");";
  // The count where GDAL keeps it (a GeoPackage made without that table has no count).
  sqlite3_stmt* counted = m.db.Prepare(
      "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'gpkg_ogr_contents'");
  if (!counted) return m.db.Error();
  const int step = sqlite3_step(counted);
  if (step != SQLITE_ROW && step != SQLITE_DONE) return m.db.Error();
  if (step == SQLITE_ROW)
    sql += "UPDATE gpkg_ogr_contents SET feature_count = " + std::to_string(m.next - 1) +
           " WHERE lower(table_name) = lower(" + table + ");";
  for (const auto& [name, text] : m.triggers) sql += text + ";";
  sql += "COMMIT";
  if (!m.db.Exec(sql)) return m.db.Error();
  return {};
}

std::string GeoPackageRows::Error() const {
  return impl_->error.empty() ? impl_->db.Error() : impl_->error;
}

}  // namespace polvane
