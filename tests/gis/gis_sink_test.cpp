// The GIS writers: lines of drives, built in the receiver's terms, written through the sink and
// read back with GDAL.
#include "gis/gis_sink.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/conversion.h"
#include "support/line_builder.h"

namespace polvane {
namespace {

using namespace polvane::testing;
namespace fs = std::filesystem;

// A drive of receiver 1: a line before the first fix, then lines with a position, the last one
// with a third reading that the others do not have.
std::vector<LineBuilder> Drive() {
  std::vector<LineBuilder> lines(4);
  const char* rssi[] = {"-65", "-80", "-90", "-105"};
  for (int i = 0; i < 4; ++i) {
    LineBuilder& b = lines[i];
    b.Reading(1, 1, "869.0400", rssi[i]).Reading(1, 2, "869.1300", "-99");
    if (i == 3) b.Reading(1, 3, "869.2200", "-60");
    b.Field("Latitude (Decimal Degrees)", CellKind::Real, i == 0 ? "" : "40.7128")
        .Field("GPS Time (HH:MM:SS)", CellKind::Time, "14:05:0" + std::to_string(i))
        .Field("Marker Value", CellKind::Integer, std::to_string(i))
        .When(2024, 6, 15, 14 * 3600 + 5 * 60 + i)
        .InSection(i < 2 ? 1 : 3);
    if (i > 0) b.At(40.7128 + i * 0.001, -74.006 + i * 0.001);
  }
  return lines;
}

struct Written {
  bool ok = false;
  std::string error, note;
};

Written Write(const std::string& path, GisFormat format, const std::vector<LineBuilder>& lines,
              GisOptions options = {}) {
  auto sink = MakeGisSink(path, format, options);
  for (const LineBuilder& b : lines) sink->Write(b.Get());
  Written w;
  w.ok = sink->EndFile();
  w.error = sink->ErrorText();
  w.note = sink->Note();
  return w;
}

struct Dataset {
  explicit Dataset(const std::string& path) {
    GDALAllRegister();
    ds.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  }
  OGRLayer* Layer(int i = 0) { return ds ? ds->GetLayer(i) : nullptr; }
  std::vector<std::string> FieldNames(int layer = 0) {
    std::vector<std::string> names;
    OGRFeatureDefn* defn = Layer(layer)->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
      names.push_back(defn->GetFieldDefn(i)->GetNameRef());
    return names;
  }
  OGRFieldType Type(const char* name, int layer = 0) {
    OGRFeatureDefn* defn = Layer(layer)->GetLayerDefn();
    const int i = defn->GetFieldIndex(name);
    return i < 0 ? OFTMaxType : defn->GetFieldDefn(i)->GetType();
  }
  struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(d); }
  };
  std::unique_ptr<GDALDataset, Closer> ds;
};

std::vector<std::string> Entries(const ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GisSink, GeoPackageHoldsTheLinesAsTypedPointsInWgs84) {
  ScratchDir dir;
  const std::string path = dir.File("drive.gpkg");
  const Written w = Write(path, GisFormat::GeoPackage, Drive());
  ASSERT_TRUE(w.ok) << w.error;
  Dataset d(path);
  ASSERT_TRUE(d.Layer());
  OGRLayer& layer = *d.Layer();
  EXPECT_EQ(layer.GetFeatureCount(), 4);
  // The cells' titles in the delimited order; the third reading's columns come after the
  // second's, not at the end; the record's time is one more attribute.
  EXPECT_EQ(d.FieldNames(),
            (std::vector<std::string>{"Rec#1 Frequency", "Rec#1 RSSI", "Rec#1 Frequency 2",
                                      "Rec#1 RSSI 2", "Rec#1 Frequency 3", "Rec#1 RSSI 3",
                                      "Latitude (Decimal Degrees)", "GPS Time (HH:MM:SS)",
                                      "Marker Value", "Timestamp"}));
  EXPECT_EQ(d.Type("Rec#1 Frequency"), OFTReal);
  EXPECT_EQ(d.Type("Rec#1 RSSI"), OFTInteger64);
  EXPECT_EQ(d.Type("GPS Time (HH:MM:SS)"), OFTString);
  EXPECT_EQ(d.Type("Timestamp"), OFTDateTime);
  const OGRSpatialReference* srs = layer.GetSpatialRef();
  ASSERT_TRUE(srs);
  EXPECT_STREQ(srs->GetAuthorityCode(nullptr), "4326");

  std::vector<std::unique_ptr<OGRFeature>> features;
  for (OGRFeature* f; (f = layer.GetNextFeature());) features.emplace_back(f);
  ASSERT_EQ(features.size(), 4u);
  // Before the first fix: no geometry, the empty cell null.
  EXPECT_EQ(features[0]->GetGeometryRef(), nullptr);
  EXPECT_TRUE(features[0]->IsFieldNull(features[0]->GetFieldIndex("Latitude (Decimal Degrees)")));
  const auto* p = features[1]->GetGeometryRef()->toPoint();
  EXPECT_DOUBLE_EQ(p->getX(), -74.005);  // longitude first
  EXPECT_DOUBLE_EQ(p->getY(), 40.7138);
  EXPECT_EQ(features[1]->GetFieldAsInteger64("Rec#1 RSSI"), -80);
  EXPECT_DOUBLE_EQ(features[1]->GetFieldAsDouble("Rec#1 Frequency 2"), 869.13);
  EXPECT_STREQ(features[1]->GetFieldAsString("GPS Time (HH:MM:SS)"), "14:05:01");
  // Only the widest line fills the third reading.
  EXPECT_TRUE(features[2]->IsFieldNull(features[2]->GetFieldIndex("Rec#1 RSSI 3")));
  EXPECT_EQ(features[3]->GetFieldAsInteger64("Rec#1 RSSI 3"), -60);
  int year, month, day, hour, minute, tz;
  float second;
  ASSERT_TRUE(features[2]->GetFieldAsDateTime(features[2]->GetFieldIndex("Timestamp"), &year,
                                              &month, &day, &hour, &minute, &second, &tz));
  EXPECT_EQ(std::vector<int>({year, month, day, hour, minute, static_cast<int>(second), tz}),
            (std::vector<int>{2024, 6, 15, 14, 5, 2, 100}));  // 100: UTC
  // The line without a position is counted for the completion message.
  EXPECT_NE(w.note.find("1 of 4 lines had no position"), std::string::npos) << w.note;
  // Only the dataset is left beside it: no spool, no temporary, no journal.
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"drive.gpkg"}));
}

TEST(GisSink, LongLayoutGivesARowPerReading) {
  ScratchDir dir;
  const std::string path = dir.File("drive.gpkg");
  GisOptions options;
  options.Layout = TableLayout::Long;
  ASSERT_TRUE(Write(path, GisFormat::GeoPackage, Drive(), options).ok);
  Dataset d(path);
  EXPECT_EQ(d.Layer()->GetFeatureCount(), 2 + 2 + 2 + 3);
  const auto names = d.FieldNames();
  for (const char* n : {"Receiver", "Reading", "Frequency", "RSSI", "Marker Value"})
    EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
  EXPECT_EQ(std::find(names.begin(), names.end(), "Rec#1 RSSI 2"), names.end());
}

TEST(GisSink, GeoJsonFollowsRfc7946) {
  ScratchDir dir;
  const std::string path = dir.File("drive.geojson");
  ASSERT_TRUE(Write(path, GisFormat::GeoJson, Drive()).ok);
  const std::string text = ReadFile(path);
  EXPECT_EQ(text.find("\"crs\""), std::string::npos);
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(text, m, std::regex(R"re("coordinates": \[ ([-0-9.]+), ([-0-9.]+) \])re")));
  EXPECT_EQ(m[1], "-74.005");  // longitude, then latitude
  EXPECT_EQ(m[2], "40.7138");
  EXPECT_NE(text.find("\"geometry\": null"), std::string::npos);  // the line before the fix
  EXPECT_NE(text.find("\"Timestamp\": \"2024-06-15T14:05:01Z\""), std::string::npos);
  Dataset d(path);
  EXPECT_EQ(d.Layer()->GetFeatureCount(), 4);
}

// The colour of each placemark's style, by the placemark's marker value.
std::map<std::string, std::string> PlacemarkColors(const std::string& kml) {
  std::map<std::string, std::string> styleColor;
  const std::regex style(
      R"re(<Style id="([a-z0-9]+)">\s*<IconStyle>\s*<color>([0-9a-f]{8})</color>)re");
  for (std::sregex_iterator it(kml.begin(), kml.end(), style), end; it != end; ++it)
    styleColor[(*it)[1]] = (*it)[2];
  std::map<std::string, std::string> colors;
  const std::regex placemark(
      R"re(<Placemark[^>]*>(?:(?!</Placemark>)[\s\S])*?<styleUrl>#([a-z0-9]+)</styleUrl>(?:(?!</Placemark>)[\s\S])*?<Data name="Marker Value">\s*<value>([0-9]+)</value>)re");
  for (std::sregex_iterator it(kml.begin(), kml.end(), placemark), end; it != end; ++it)
    colors[(*it)[2]] = styleColor[(*it)[1]];
  return colors;
}

TEST(GisSink, KmlColoursEachPointByItsStrongestRssi) {
  ScratchDir dir;
  const std::string path = dir.File("drive.kml");
  const Written w = Write(path, GisFormat::Kml, Drive());
  ASSERT_TRUE(w.ok) << w.error;
  const std::string kml = ReadFile(path);
  // aabbggrr: -80 yellow, -90 orange; the last line's strongest reading is its third, -60: green.
  // The line before the fix is not placed.
  EXPECT_EQ(PlacemarkColors(kml), (std::map<std::string, std::string>{
                                      {"1", "ff00ffff"}, {"2", "ff0080ff"}, {"3", "ff00ff00"}}));
  EXPECT_NE(w.note.find("1 of 4 lines had no position and were left out"), std::string::npos);
  // The record's time is the placemark's, for Google Earth's time slider.
  EXPECT_NE(kml.find("<when>2024-06-15T14:05:01Z</when>"), std::string::npos);
  // A legend folder, then a folder per section of the file index.
  Dataset d(path);
  ASSERT_TRUE(d.ds);
  std::vector<std::string> folders;
  for (int i = 0; i < d.ds->GetLayerCount(); ++i) folders.push_back(d.Layer(i)->GetName());
  EXPECT_EQ(folders, (std::vector<std::string>{"Legend", "Section 1", "Section 3"}));
  EXPECT_EQ(d.Layer(0)->GetFeatureCount(), 5);  // four bands and "no RSSI"
  EXPECT_NE(kml.find("< -100 dBm"), std::string::npos);
}

TEST(GisSink, KmlThresholdsAreTheUsers) {
  ScratchDir dir;
  const std::string path = dir.File("drive.kml");
  GisOptions options;
  ASSERT_TRUE(SignalColors::Parse("-85", options.Colors));  // two bands: green, red
  ASSERT_TRUE(Write(path, GisFormat::Kml, Drive(), options).ok);
  EXPECT_EQ(PlacemarkColors(ReadFile(path)),
            (std::map<std::string, std::string>{
                {"1", "ff00ff00"}, {"2", "ff0000ff"}, {"3", "ff00ff00"}}));
}

TEST(GisSink, KmlColoursByAChosenColumnInItsOwnUnit) {
  ScratchDir dir;
  const std::string path = dir.File("drive.kml");
  GisOptions options;
  options.ColorColumn = "Marker Value";
  ASSERT_TRUE(SignalColors::Parse("2,1", options.Colors));  // green, yellow, red
  const Written w = Write(path, GisFormat::Kml, Drive(), options);
  ASSERT_TRUE(w.ok) << w.error;
  const std::string kml = ReadFile(path);
  EXPECT_EQ(PlacemarkColors(kml), (std::map<std::string, std::string>{
                                      {"1", "ff00ffff"}, {"2", "ff00ff00"}, {"3", "ff00ff00"}}));
  // The legend names the column, and no level's unit.
  EXPECT_NE(kml.find("2 to 1 (Marker Value)"), std::string::npos);
  EXPECT_EQ(kml.find("dBm"), std::string::npos);
  // In the long layout a row is a reading: each is coloured by its own level.
  options.Layout = TableLayout::Long;
  options.ColorColumn = "RSSI";
  options.Colors = SignalColors();
  ASSERT_TRUE(Write(path, GisFormat::Kml, Drive(), options).ok);
  const std::string rows = ReadFile(path);
  EXPECT_NE(rows.find("#band3"), std::string::npos);  // the last line's first reading, -105
  EXPECT_NE(rows.find("#band0"), std::string::npos);  // and its third, -60
}

TEST(GisSink, AColourColumnTheLinesDoNotHaveIsAnErrorAndNoFile) {
  ScratchDir dir;
  std::atomic<bool> missing{false};
  GisOptions options;
  options.MissingColorColumn = &missing;
  options.ColorColumn = "Rec#3 RSSI";
  Written w = Write(dir.File("drive.kml"), GisFormat::Kml, Drive(), options);
  EXPECT_FALSE(w.ok);
  EXPECT_TRUE(missing);
  EXPECT_NE(w.error.find("no attribute \"Rec#3 RSSI\""), std::string::npos) << w.error;
  EXPECT_NE(w.error.find("Rec#1 RSSI 2"), std::string::npos) << w.error;  // what there is
  missing = false;
  options.ColorColumn = "GPS Time (HH:MM:SS)";
  w = Write(dir.File("drive.gpkg"), GisFormat::GeoPackage, Drive(), options);
  EXPECT_FALSE(w.ok);
  EXPECT_TRUE(missing);
  EXPECT_NE(w.error.find("holds text"), std::string::npos) << w.error;
  EXPECT_EQ(Entries(dir), std::vector<std::string>{});
}

// A value of one row of an SQL query of the GeoPackage, as text.
std::string Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string value = "(failed)";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return value;
}

// The table as other GeoPackage tools find it: its count, extent, the times' text, and the
// triggers that keep the count when they add a feature.
TEST(GisSink, GeoPackageTableKeepsItsCountExtentTimesAndTriggers) {
  std::vector<LineBuilder> lines = Drive();
  lines.emplace_back()
      .Field("Marker Value", CellKind::Integer, "9")
      .When(2024, 6, 15, 14 * 3600 + 6 * 60 + 0.25)
      .At(40.70, -74.10);
  ScratchDir dir;
  const std::string path = dir.File("drive.gpkg");
  ASSERT_TRUE(Write(path, GisFormat::GeoPackage, lines).ok);
  EXPECT_EQ(Query(path, "SELECT feature_count FROM gpkg_ogr_contents WHERE table_name = 'drive'"),
            "5");
  // The extent of the four points, exactly.
  EXPECT_EQ(Query(path,
                  "SELECT min_x = -74.10 AND max_x = -74.003 AND min_y = 40.70 AND "
                  "max_y = 40.7158 FROM gpkg_contents WHERE table_name = 'drive'"),
            "1");
  Dataset d(path);
  ASSERT_TRUE(d.Layer());
  OGREnvelope box;
  ASSERT_EQ(d.Layer()->GetExtent(&box, FALSE), OGRERR_NONE);
  EXPECT_DOUBLE_EQ(box.MinX, -74.10);
  EXPECT_DOUBLE_EQ(box.MaxY, 40.7158);
  EXPECT_EQ(d.Layer()->GetFeatureCount(FALSE), 5);
  d.ds.reset();
  // Times as GDAL writes them there: in UTC, always with their milliseconds.
  EXPECT_EQ(Query(path, "SELECT Timestamp FROM drive WHERE fid = 1"), "2024-06-15T14:05:00.000Z");
  EXPECT_EQ(Query(path, "SELECT Timestamp FROM drive WHERE fid = 5"), "2024-06-15T14:06:00.250Z");
  EXPECT_EQ(Query(path,
                  "SELECT typeof(\"Rec#1 RSSI\") || typeof(\"Rec#1 Frequency\") FROM "
                  "drive WHERE fid = 2"),
            "integerreal");
  // A feature added by SQL of its own is counted, through the table's triggers.
  d.ds.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
  ASSERT_TRUE(d.ds);
  d.ds->ExecuteSQL("INSERT INTO drive (\"Marker Value\") VALUES (10)", nullptr, nullptr);
  d.ds.reset();
  EXPECT_EQ(Query(path, "SELECT feature_count FROM gpkg_ogr_contents WHERE table_name = 'drive'"),
            "6");
  EXPECT_EQ(Query(path, "SELECT max(fid) FROM drive"), "6");
}

// The lines are kept in a file until the dataset is written and inserted into the table many
// to a statement: lines of every length (across the spool's blocks, one longer than a block),
// rows with and without a point, and a count that leaves a part batch at the end all come back
// value for value.
TEST(GisSink, GeoPackageRowsOfAnyLengthComeBackInTheirOrder) {
  std::vector<LineBuilder> lines(3001);
  auto noteOf = [](int i) {
    return i == 1500 ? std::string(3 << 20, 'x')
                     : std::string(static_cast<std::size_t>(i * 7 % 997), 'a' + i % 26);
  };
  for (int i = 0; i < 3001; ++i) {
    lines[i]
        .Field("Marker Value", CellKind::Integer, std::to_string(i))
        .Field("Note", CellKind::Text, noteOf(i));
    if (i % 5 != 0) lines[i].At(40 + i * 1e-5, -74 - i * 1e-5);
  }
  ScratchDir dir;
  const std::string path = dir.File("long.gpkg");
  const Written w = Write(path, GisFormat::GeoPackage, lines);
  ASSERT_TRUE(w.ok) << w.error;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "SELECT fid, \"Marker Value\", Note, geom IS NULL FROM long "
                               "ORDER BY fid",
                               -1, &s, nullptr),
            SQLITE_OK);
  int i = 0;
  for (; sqlite3_step(s) == SQLITE_ROW; ++i) {
    EXPECT_EQ(sqlite3_column_int64(s, 0), i + 1);
    EXPECT_EQ(sqlite3_column_int64(s, 1), i);
    const std::string note = noteOf(i);
    if (note.empty())
      EXPECT_EQ(sqlite3_column_type(s, 2), SQLITE_NULL) << i;
    else
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 2)),
                            static_cast<std::size_t>(sqlite3_column_bytes(s, 2))),
                note)
          << i;
    EXPECT_EQ(sqlite3_column_int(s, 3), i % 5 == 0 ? 1 : 0) << i;
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  EXPECT_EQ(i, 3001);
  EXPECT_EQ(Query(path, "SELECT rtreecheck('rtree_long_geom')"), "ok");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM rtree_long_geom"), "2400");
  EXPECT_EQ(Query(path, "SELECT seq FROM sqlite_sequence WHERE name = 'long'"), "3001");
}

TEST(GisSink, GeoPackageSpatialIndexHoldsEveryPointAndFindsThem) {
  // A grid of 60 by 60 points (three levels of nodes of at most 51 entries), a line without a
  // position, and points that fall on one place.
  std::vector<LineBuilder> lines(1);
  lines[0].Field("Marker Value", CellKind::Integer, "0");
  for (int i = 0; i < 60; ++i)
    for (int j = 0; j < 60; ++j)
      lines.emplace_back()
          .Field("Marker Value", CellKind::Integer, std::to_string(i * 60 + j))
          .At(40 + i * 0.001, -74 + j * 0.001);
  for (int k = 0; k < 3; ++k)
    lines.emplace_back().Field("Marker Value", CellKind::Integer, "7").At(40.0005, -73.9995);
  ScratchDir dir;
  const std::string path = dir.File("grid.gpkg");
  ASSERT_TRUE(Write(path, GisFormat::GeoPackage, lines).ok);
  // SQLite's own check of the tree: every node's box holds its children, every entry is
  // reachable once.
  EXPECT_EQ(Query(path, "SELECT rtreecheck('rtree_grid_geom')"), "ok");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM rtree_grid_geom"), "3603");
  EXPECT_EQ(Query(path, "SELECT rtreedepth(data) FROM rtree_grid_geom_node WHERE nodeno = 1"), "2");
  EXPECT_EQ(Query(path,
                  "SELECT count(*) FROM gpkg_extensions WHERE table_name = 'grid' AND "
                  "extension_name = 'gpkg_rtree_index'"),
            "1");
  // GDAL takes it for the layer's index and finds a block of 10 by 10 points through it.
  Dataset d(path);
  ASSERT_TRUE(d.Layer());
  OGRLayer* has = d.ds->ExecuteSQL("SELECT HasSpatialIndex('grid', 'geom')", nullptr, nullptr);
  ASSERT_TRUE(has);
  std::unique_ptr<OGRFeature> answer(has->GetNextFeature());
  EXPECT_EQ(answer->GetFieldAsInteger(0), 1);
  answer.reset();
  d.ds->ReleaseResultSet(has);
  d.Layer()->SetSpatialFilterRect(-74 + 9.5 * 0.001, 40 + 19.5 * 0.001, -74 + 19.5 * 0.001,
                                  40 + 29.5 * 0.001);
  EXPECT_EQ(d.Layer()->GetFeatureCount(), 100);
  d.Layer()->SetSpatialFilterRect(-73.9996, 40.0004, -73.9994, 40.0006);
  EXPECT_EQ(d.Layer()->GetFeatureCount(), 3);
  // The triggers keep it: a point moved is found at its new place.
  d.ds.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
  ASSERT_TRUE(d.ds);
  d.ds->ExecuteSQL("UPDATE grid SET geom = (SELECT geom FROM grid WHERE fid = 2) WHERE fid = 3601",
                   nullptr, nullptr);
  d.ds.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  d.Layer()->SetSpatialFilterRect(-74.0001, 39.9999, -73.9999, 40.0001);
  EXPECT_EQ(d.Layer()->GetFeatureCount(), 2);
  EXPECT_EQ(Query(path, "SELECT rtreecheck('rtree_grid_geom')"), "ok");
}

TEST(GisSink, ShapefileGivesLongTitlesUniqueShortNamesAndListsThem) {
  ScratchDir dir;
  const std::string path = dir.File("drive.shp");
  const Written w = Write(path, GisFormat::Shapefile, Drive());
  ASSERT_TRUE(w.ok) << w.error;
  Dataset d(path);
  ASSERT_TRUE(d.Layer());
  EXPECT_EQ(d.Layer()->GetFeatureCount(), 4);  // the line before the fix without a shape
  const auto names = d.FieldNames();
  std::set<std::string> folded;
  for (std::string n : names) {
    EXPECT_LE(n.size(), 10u) << n;
    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    folded.insert(n);
  }
  EXPECT_EQ(folded.size(), 10u);
  // The sidecar pairs every attribute with its title, in the attributes' order.
  const auto lines = Lines(ReadFile(ShapefileNamesPath(path)));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "Attribute\tTitle");
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(lines[i + 1].substr(0, lines[i + 1].find('\t')), names[i]);
  EXPECT_EQ(lines[1], names[0] + "\tRec#1 Frequency");
  EXPECT_EQ(lines[9], "Marker_Val\tMarker Value");
  EXPECT_EQ(lines[10], "Timestamp\tTimestamp");
  EXPECT_NE(w.note.find("drive.names.txt"), std::string::npos);
  // Its values are the cells'.
  std::unique_ptr<OGRFeature> f(d.Layer()->GetFeature(1));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->GetFieldAsInteger64(1), -80);
  EXPECT_STREQ(f->GetFieldAsString(7), "14:05:01");
  EXPECT_EQ(d.Layer()->GetSpatialRef()->GetAuthorityCode(nullptr), std::string("4326"));
}

TEST(GisSink, ShapefileOfTooManyAttributesIsAClearErrorAndNoFile) {
  ScratchDir dir;
  const std::string path = dir.File("wide.shp");
  LineBuilder b;
  for (std::uint16_t r = 1; r <= 130; ++r) b.Reading(1, r, "869.0400", "-70");
  b.At(40, -74);
  const Written w = Write(path, GisFormat::Shapefile, {b});
  EXPECT_FALSE(w.ok);
  EXPECT_NE(w.error.find("at most 255 attributes"), std::string::npos) << w.error;
  EXPECT_EQ(Entries(dir), std::vector<std::string>{});
}

TEST(GisSink, ASinkDroppedBeforeItsEndLeavesTheOldOutputAndNothingElse) {
  // A cancelled run: the lines were given, the file never ended.
  ScratchDir dir;
  const std::string path = dir.File("drive.gpkg");
  WriteFile(path, std::vector<std::uint8_t>{'o', 'l', 'd'});
  {
    auto sink = MakeGisSink(path, GisFormat::GeoPackage, {});
    for (const LineBuilder& b : Drive()) sink->Write(b.Get());
  }
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"drive.gpkg"});
  EXPECT_EQ(ReadFile(path), "old");
}

TEST(GisSink, AnOutputThatCannotBeWrittenSaysWhy) {
  ScratchDir dir;
  const std::string path = dir.File("no/such/folder/drive.gpkg");
  const Written w = Write(path, GisFormat::GeoPackage, Drive());
  EXPECT_FALSE(w.ok);
  EXPECT_NE(w.error.find("no/such/folder"), std::string::npos) << w.error;
  const Written shp = Write(dir.File("drive.dbf"), GisFormat::Shapefile, Drive());
  EXPECT_FALSE(shp.ok);
  EXPECT_NE(shp.error.find("NAME.shp"), std::string::npos) << shp.error;
  EXPECT_EQ(Entries(dir), std::vector<std::string>{});
}

}  // namespace
}  // namespace polvane
