// The spatial index of a GeoPackage's point layer, built once its features are written. SQLite's
// R-tree module inserts one entry at a time, moving entries between nodes as they fill; for the
// hundreds of thousands of points of a drive that costs several times the writing of the
// features. The index is instead packed in one pass (sort-tile-recursive: the points sorted into
// vertical slices, each slice by latitude, full nodes built bottom up) and its nodes written
// straight into the R-tree's tables, which SQLite then reads and updates as its own. The table's
// triggers and the extension's row are those of the GeoPackage standard, so that a later edit
// in QGIS keeps the index up to date.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace polvane {

// A feature's point, as the writer of the features knew it.
struct IndexedPoint {
  std::int64_t Fid;
  double X, Y;
};

// More points than this are not packed (their boxes would take too much memory): SQLite's own
// inserts index them, from the table.
constexpr std::size_t kMaxPackedPoints = 8'000'000;

// Adds the R-tree index "rtree_TABLE_COLUMN" of `table`'s geometry column `column` to the
// GeoPackage at `path` (closed by GDAL). `points` are the table's points, packed into the tree
// (and taken: the vector is left empty); without them (null), the points are read from the
// table. Returns "" or the reason it failed.
std::string AddGeoPackageSpatialIndex(const std::string& path, const std::string& table,
                                      const std::string& column, std::vector<IndexedPoint>* points);

// The features of a GeoPackage's point layer, written straight into its table through SQLite
// once GDAL has made the table (with no features) and closed the file. GDAL's own writing of a
// feature costs about as much as SQLite's insert again: each value set on a feature, read back
// as text and bound, the time formatted by printf. The rows are those GDAL writes: fids from 1,
// the point as a GeoPackage blob (the "GP" header without an envelope, then the WKB point,
// little-endian), the attributes as INTEGER, REAL and TEXT. At the end the layer's feature
// count, extent and time of change are set as GDAL sets them; its feature-count triggers are
// left out while the rows are written and put back as they were.
class GeoPackageRows {
 public:
  GeoPackageRows();
  ~GeoPackageRows();
  GeoPackageRows(const GeoPackageRows&) = delete;
  GeoPackageRows& operator=(const GeoPackageRows&) = delete;

  // Opens the GeoPackage at `path` to add rows to `table`, whose fid column is `fid`, whose
  // geometry column is `geometry` and whose attributes are `columns`, numbered from 0 in that
  // order below. Returns "" or the reason it failed.
  std::string Open(const std::string& path, const std::string& table, const std::string& fid,
                   const std::string& geometry, const std::vector<std::string>& columns);

  // The values of the next row; an attribute not given is null, and so is the point. A text is
  // copied.
  void Null(int k);
  void Integer(int k, std::int64_t v);
  void Real(int k, double v);
  void Text(int k, std::string_view v);
  void Point(double x, double y);
  // Ends the row: its fid, or 0 when SQLite failed (Error says why). The rows are inserted
  // many at a time, so a failure can come at a later row or at Finish.
  std::int64_t Write();
  // The count, extent, time of change and triggers, and the last commit: "" or the reason.
  std::string Finish();
  std::string Error() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace polvane
