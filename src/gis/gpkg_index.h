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
#include <string>
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
// GeoPackage at `path` (closed by GDAL). `points` are the table's points, packed into the tree;
// without them (null), the points are read from the table. Returns "" or the reason it failed.
std::string AddGeoPackageSpatialIndex(const std::string& path, const std::string& table,
                                      const std::string& column,
                                      const std::vector<IndexedPoint>* points);

}  // namespace polvane
