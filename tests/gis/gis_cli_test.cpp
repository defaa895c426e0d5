// The map outputs of `polvane convert`, read back with GDAL's own tools (ogrinfo, ogr2ogr): every
// bundled sample with a position through each format and both table shapes, against the
// delimited output of the same settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/bytes.h"
#include "support/conversion.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace polvane::testing;
namespace fs = std::filesystem;

const char* const kSamplesWithPosition[] = {"drive-tarvik.tvf",   "drive-tarvik-ext.tvf",
                                            "drive-selvor.svf",   "drive-pelmor.pvf",
                                            "drive-kes-card.bin", "drive-kes-dump.kes"};

std::string Sample(const char* name) {
  return (fs::path(POLVANE_SOURCE_DIR) / "samples" / name).string();
}

struct Run {
  int status;
  std::string out;
};

// A command's exit status and standard output.
Run Shell(const std::string& command) {
  Run r{-1, {}};
  std::FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int raw = ::pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

int Convert(const std::string& args) {
  return Shell(std::string(POLVANE_CLI) + " convert -q " + args).status;
}

bool HaveGdalTools() {
  return Shell("ogrinfo --version").status == 0 && Shell("ogr2ogr --version").status == 0;
}

// Records of the delimited output, split into cells. A paging message of the Kes logs can hold
// line ends: a text line that starts with the next message's "FLEX" or "POCSAG" continues the
// cell of the line before.
std::vector<std::vector<std::string>> DelimitedRecords(const std::string& path) {
  std::vector<std::string> joined;
  for (const std::string& line : Lines(ReadFile(path))) {
    if (!joined.empty() && (line.rfind("FLEX", 0) == 0 || line.rfind("POCSAG", 0) == 0))
      joined.back() += "\n" + line;
    else
      joined.push_back(line);
  }
  std::vector<std::vector<std::string>> records;
  for (const std::string& line : joined) {
    std::vector<std::string>& cells = records.emplace_back();
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      cells.push_back(line.substr(from, tab - from));
    cells.push_back(line.substr(from));
  }
  return records;
}

// The rows of ogr2ogr's CSV (quoted fields, "" inside quotes).
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
        field += text[++i];
      else if (c == '"')
        quoted = false;
      else
        field += c;
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\r') {
    } else if (c == '\n') {
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
    } else {
      field += c;
      any = true;
    }
  }
  (void)any;
  return rows;
}

bool SameValue(const std::string& a, const std::string& b) {
  if (a == b) return true;
  char* ea = nullptr;
  char* eb = nullptr;
  const double x = std::strtod(a.c_str(), &ea), y = std::strtod(b.c_str(), &eb);
  if (a.empty() || b.empty() || *ea || *eb) return false;
  return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(x));
}

std::vector<std::string> NonEmpty(const std::vector<std::string>& cells, std::size_t count) {
  std::vector<std::string> values;
  for (std::size_t i = 0; i < count && i < cells.size(); ++i)
    if (!cells[i].empty()) values.push_back(cells[i]);
  return values;
}

// The names of the attributes of a KML's placemarks, each once.
std::vector<std::string> KmlAttributeNames(const std::string& kml) {
  std::vector<std::string> names;
  const std::regex data(R"re(<Data name="([^"]*)">)re");
  for (std::sregex_iterator it(kml.begin(), kml.end(), data), end; it != end; ++it)
    if (std::find(names.begin(), names.end(), (*it)[1].str()) == names.end())
      names.push_back((*it)[1]);
  return names;
}

// The attribute values of the first placemark of a KML's sections (the legend's have none).
std::vector<std::string> FirstPlacemarkValues(const std::string& kml) {
  std::vector<std::string> values;
  const std::size_t at = kml.find("<ExtendedData>");
  if (at == std::string::npos) return values;
  const std::string placemark = kml.substr(at, kml.find("</ExtendedData>", at) - at);
  const std::regex value(R"re(<value>(?:<!\[CDATA\[)?([^<\]]*))re");
  for (std::sregex_iterator it(placemark.begin(), placemark.end(), value), end; it != end; ++it)
    values.push_back((*it)[1]);
  return values;
}

// What `ogrinfo -al -so` says of a dataset: the features of its layers (a KML's legend left
// out), its attributes with their types, and whether each layer is in EPSG:4326.
struct Summary {
  long features = 0;
  std::vector<std::pair<std::string, std::string>> fields;  // of the first data layer
  int layers = 0, wgs84 = 0;
};

Summary Describe(const std::string& path) {
  const std::string text = Shell("ogrinfo -ro -al -so " + path).out;
  Summary s;
  bool legend = false, first = true;
  const std::regex field(R"re(^(.+): (Integer64|Integer|Real|String|DateTime|Date|Time) \()re");
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);
    from = end + 1;
    std::smatch m;
    if (line.rfind("Layer name: ", 0) == 0) {
      legend = line == "Layer name: Legend";
      if (!legend) {
        ++s.layers;
        first = s.layers == 1;
      }
    } else if (legend) {
      continue;
    } else if (line.rfind("Feature Count: ", 0) == 0) {
      s.features += std::stol(line.substr(15));
    } else if (line.find("ID[\"EPSG\",4326]") != std::string::npos) {
      ++s.wgs84;
    } else if (first && std::regex_search(line, m, field)) {
      s.fields.emplace_back(m[1], m[2]);
    }
  }
  return s;
}

class GisCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveGdalTools()) GTEST_SKIP() << "ogrinfo and ogr2ogr (gdal-bin) are not installed";
  }
  ScratchDir dir;
};

TEST_F(GisCli, EverySampleThroughEveryFormatAndBothLayouts) {
  for (const char* sample : kSamplesWithPosition) {
    SCOPED_TRACE(sample);
    const std::string log = Sample(sample);
    ASSERT_EQ(Convert(log + " " + dir.File("lines.txt") + " -d tab --no-header"), 0);
    const auto records = DelimitedRecords(dir.File("lines.txt"));
    ASSERT_EQ(Convert(log + " " + dir.File("titles.txt") + " -d tab --header"), 0);
    const std::string titlesLine = Lines(ReadFile(dir.File("titles.txt")))[0];
    // Lines with a position: the GeoPackage's points, as GDAL reads them.
    ASSERT_EQ(Convert(log + " " + dir.File("wide.gpkg") + " -f gpkg"), 0);
    const auto xy = CsvRows(
        Shell("ogr2ogr -f CSV /vsistdout/ " + dir.File("wide.gpkg") + " -lco GEOMETRY=AS_XY").out);
    long placed = 0;
    for (std::size_t r = 1; r < xy.size(); ++r) placed += !xy[r].empty() && !xy[r][0].empty();

    const std::size_t wideFields = Describe(dir.File("wide.gpkg")).fields.size();
    for (const char* layout : {"wide", "long"}) {
      long longRows = -1;
      for (const char* ext : {"gpkg", "geojson", "kml", "shp"}) {
        SCOPED_TRACE(std::string(layout) + " " + ext);
        const std::string out = dir.File(std::string(layout) + "." + ext);
        if (std::string(ext) == "shp" && std::string(layout) == "wide" && wideFields > 255) {
          // More attributes than a dBASE table holds: a clear error, and no Shapefile.
          for (const char* part : {"wide.shp", "wide.shx", "wide.dbf", "wide.prj", "wide.cpg"})
            fs::remove(dir.File(part));
          EXPECT_EQ(Convert(log + " " + out + " -f shp"), 1);
          EXPECT_FALSE(fs::exists(out));
          EXPECT_FALSE(fs::exists(dir.File("wide.dbf")));
          continue;
        }
        ASSERT_EQ(Convert(log + " " + out + " -f " + ext + " --layout " + layout), 0);
        const Summary s = Describe(out);
        ASSERT_GE(s.layers, 1);
        EXPECT_EQ(s.wgs84, s.layers);
        const bool kml = std::string(ext) == "kml";
        if (std::string(layout) == "wide") {
          // A feature per line; KML places only the lines with a position.
          EXPECT_EQ(s.features, kml ? placed : static_cast<long>(records.size()));
        } else if (!kml) {
          // A row per reading: the same in every format that keeps unplaced lines.
          EXPECT_GE(s.features, static_cast<long>(records.size()));
          if (longRows < 0) longRows = s.features;
          EXPECT_EQ(s.features, longRows);
        }
        if (std::string(ext) == "gpkg" && std::string(layout) == "wide") {
          // The titles line's titles are attributes, in its order.
          std::size_t at = 0;
          std::size_t from = 0;
          int titles = 0, found = 0;
          for (std::size_t tab = 0; tab != std::string::npos; from = tab + 1) {
            tab = titlesLine.find('\t', from);
            std::string t = titlesLine.substr(from, tab == std::string::npos ? tab : tab - from);
            if (t.size() >= 2 && t.front() == '"') t = t.substr(1, t.size() - 2);
            ++titles;
            while (at < s.fields.size() && s.fields[at].first != t) ++at;
            if (at < s.fields.size()) ++found;
          }
          EXPECT_EQ(found, titles) << titlesLine;
          for (const auto& [name, type] : s.fields) {
            if (name.find("RSSI") != std::string::npos) {
              EXPECT_TRUE(type == "Integer64" || type == "Integer") << name << " " << type;
            }
            if (name.rfind("Latitude (Decimal Degrees)", 0) == 0) {
              EXPECT_EQ(type, "Real");
            }
            if (name.rfind("GPS Time (HH:MM:SS)", 0) == 0) {
              EXPECT_EQ(type, "String");
            }
          }
        }
        if (kml && std::string(layout) == "wide") {
          // A placemark holds the attributes its line has a value for (KML keeps no schema of
          // them): at least as many names as the fullest placed line has values. The first
          // placemark holds the values of the first placed line, in its order.
          const std::string text = ReadFile(out);
          auto isPlaced = [&](std::size_t i) {
            return !xy[i + 1].empty() && !xy[i + 1][0].empty();
          };
          std::size_t fullest = 0, first = records.size();
          for (std::size_t i = records.size(); i-- > 0;) {
            if (!isPlaced(i)) continue;
            first = i;
            fullest = std::max(fullest, NonEmpty(records[i], records[i].size()).size());
          }
          EXPECT_GE(KmlAttributeNames(text).size(), fullest);
          ASSERT_LT(first, records.size());
          const auto expected = NonEmpty(records[first], records[first].size());
          auto got = FirstPlacemarkValues(text);
          if (got.size() > expected.size()) got.resize(expected.size());  // the timestamp
          ASSERT_EQ(got.size(), expected.size());
          for (std::size_t k = 0; k < got.size(); ++k)
            EXPECT_TRUE(SameValue(got[k], expected[k])) << got[k] << " vs " << expected[k];
        }
        if (std::string(ext) == "shp") {
          for (const auto& [name, type] : s.fields) EXPECT_LE(name.size(), 10u) << name;
          EXPECT_TRUE(fs::exists(dir.File(std::string(layout) + ".names.txt")));
        }
        if (std::string(layout) == "long" && !kml) {
          bool receiver = false;
          for (const auto& f : s.fields)
            receiver = receiver || f.first == "Receiver" || f.first == "Receiver_1";
          EXPECT_TRUE(receiver);
        }
      }
    }
  }
}

TEST_F(GisCli, GeoPackageHoldsTheDelimitedValuesValueByValue) {
  for (const char* sample : kSamplesWithPosition) {
    SCOPED_TRACE(sample);
    const std::string log = Sample(sample);
    ASSERT_EQ(Convert(log + " " + dir.File("lines.txt") + " -d tab --no-header --best-server"), 0);
    ASSERT_EQ(Convert(log + " " + dir.File("best.gpkg") + " -f gpkg --best-server"), 0);
    const auto records = DelimitedRecords(dir.File("lines.txt"));
    const auto rows = CsvRows(Shell("ogr2ogr -f CSV /vsistdout/ " + dir.File("best.gpkg")).out);
    ASSERT_EQ(rows.size(), records.size() + 1);
    std::size_t columns = rows[0].size();
    if (columns > 0 && rows[0].back() == "Timestamp") --columns;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const auto expected = NonEmpty(records[i], records[i].size());
      const auto got = NonEmpty(rows[i + 1], columns);
      ASSERT_EQ(got.size(), expected.size()) << "line " << i + 1;
      for (std::size_t k = 0; k < got.size(); ++k)
        EXPECT_TRUE(SameValue(got[k], expected[k]))
            << "line " << i + 1 << ": " << got[k] << " vs " << expected[k];
    }
  }
}

TEST_F(GisCli, GeoJsonPutsLongitudeFirstAndNamesNoCrs) {
  ASSERT_EQ(Convert(Sample("drive-selvor.svf") + " " + dir.File("d.geojson") + " -f geojson"), 0);
  const std::string text = ReadFile(dir.File("d.geojson"));
  EXPECT_EQ(text.find("\"crs\""), std::string::npos);
  std::smatch m;
  const std::regex feature(
      R"re("Longitude \(Decimal Degrees\)": ([-0-9.]+)[^\n]*"coordinates": \[ ([-0-9.]+), ([-0-9.]+) \])re");
  ASSERT_TRUE(std::regex_search(text, m, feature));
  EXPECT_TRUE(SameValue(m[1], m[2])) << m[1] << " " << m[2];
}

TEST_F(GisCli, KmlBandsFollowTheThresholds) {
  ASSERT_EQ(Convert(Sample("drive-tarvik.tvf") + " " + dir.File("d.kml") +
                    " -f kml --color-thresholds=-60,-75"),
            0);
  const std::string kml = ReadFile(dir.File("d.kml"));
  for (const char* style : {"band0", "band1", "band2", "nolevel"})
    EXPECT_NE(kml.find(std::string("<Style id=\"") + style + "\">"), std::string::npos) << style;
  EXPECT_EQ(kml.find("<Style id=\"band3\">"), std::string::npos);
  EXPECT_NE(kml.find("\xE2\x89\xA5 -60 dBm"), std::string::npos);  // the legend names the bands
  EXPECT_NE(kml.find("-60 to -75 dBm"), std::string::npos);
}

TEST_F(GisCli, ADrovelLogHasNoPositionAndWritesNoMap) {
  for (const char* ext : {"gpkg", "kml"}) {
    const std::string out = dir.File(std::string("d.") + ext);
    EXPECT_EQ(Convert(Sample("drive-drovel.dvf") + " " + out + " -f " + ext), 2);
    EXPECT_FALSE(fs::exists(out));
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(GisCli, BadMapOptionsAreUsageErrors) {
  const std::string log = Sample("drive-tarvik.tvf");
  EXPECT_EQ(Convert(log + " " + dir.File("d.gpkg") + " -f gpkg --layout tall"), 2);
  EXPECT_EQ(Convert(log + " " + dir.File("d.kml") + " -f kml --color-thresholds=-70,x"), 2);
  EXPECT_EQ(Convert(log + " " + dir.File("d.kml") + " -f kml --color-thresholds=-70,-70"), 2);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(GisCli, AColourColumnIsCheckedAndTheMapOptionsAreKeptInTheConfiguration) {
  const std::string log = Sample("drive-tarvik.tvf");
  // A column these lines do not have, or one of text, is a usage error, and nothing is written.
  EXPECT_EQ(Convert(log + " " + dir.File("d.kml") + " -f kml --color-column 'Rec#9 RSSI'"), 2);
  EXPECT_EQ(Convert(log + " " + dir.File("d.kml") + " -f kml --color-column 'Latitude Hemisphere'"),
            2);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  // The map options are saved with the other settings, and a run from the file gives the same
  // map.
  const std::string config = dir.File("map.cfg");
  ASSERT_EQ(Convert(log + " " + dir.File("d.kml") +
                    " -f kml --layout long --color-column RSSI --color-thresholds=-60,-75 "
                    "--save-config " +
                    config),
            0);
  const std::string saved = ReadFile(config);
  for (const char* line :
       {"[Map]", "Layout=long", "ColorColumn=RSSI", "[MapColors]", "Thresholds=-60,-75"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
  fs::rename(dir.File("d.kml"), dir.File("first.kml"));
  ASSERT_EQ(Convert(log + " " + dir.File("d.kml") + " -c " + config), 0);
  const std::string kml = ReadFile(dir.File("d.kml"));
  EXPECT_EQ(kml, ReadFile(dir.File("first.kml")));
  EXPECT_NE(kml.find("-60 to -75 dBm (RSSI)"), std::string::npos);
  EXPECT_NE(kml.find("<Data name=\"Reading\">"), std::string::npos);  // long
}

// True when a hidden temporary of a map output lies in the folder.
bool DatasetTemporaryIn(const fs::path& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename().string().rfind(".long.", 0) == 0) return true;
  return false;
}

TEST_F(GisCli, ASecondInterruptWhileTheDatasetIsWrittenLeavesNoTemporary) {
  // A wide scan table: the GeoPackage of its lines takes a while to write at the end.
  TarvikLogBuilder builder;
  builder.Identification("QVX TARVIK", "1.25");
  std::array<TarvikScanReceiver, 4> rx;
  for (auto& r : rx)
    for (int e = 0; e < 80; ++e)
      r.entries.push_back({static_cast<std::uint16_t>(e + 1), static_cast<std::uint8_t>(e)});
  for (int i = 0; i < 6000; ++i) builder.Scan({}, rx);
  const std::string in = dir.File("long.tvf"), out = dir.File("long.gpkg");
  builder.WriteTo(in);
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stderr);
    execl(POLVANE_CLI, POLVANE_CLI, "convert", in.c_str(), out.c_str(), "-q", "-f", "gpkg", "-r",
          "1,2,3,4", "--scan-type", "table", static_cast<char*>(nullptr));
    _exit(127);
  }
  // The dataset is being written once its temporary exists beside the output.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!DatasetTemporaryIn(dir.Path()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  kill(pid, SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  // Ended by the second interrupt (or, on a fast machine, done before it): never a temporary
  // left, and under the output name either nothing or the whole dataset.
  EXPECT_FALSE(DatasetTemporaryIn(dir.Path()));
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    EXPECT_FALSE(fs::exists(out));
  } else if (fs::exists(out)) {
    EXPECT_EQ(Describe(out).features, 6000);
  }
}

TEST_F(GisCli, TheFormatNamesTheOutputAndEachLogOfAFolderGetsItsOwn) {
  // Without OUTPUT the name is the input's with the format's extension.
  fs::copy_file(Sample("drive-tarvik.tvf"), dir.File("a.tvf"));
  ASSERT_EQ(Convert(dir.File("a.tvf") + " -f 13"), 0);
  EXPECT_TRUE(fs::exists(dir.File("a.gpkg")));
  fs::create_directory(dir.File("in"));
  fs::create_directory(dir.File("out"));
  fs::copy_file(Sample("drive-tarvik.tvf"), dir.File("in/one.tvf"));
  fs::copy_file(Sample("drive-tarvik.tvf"), dir.File("in/two.tvf"));
  ASSERT_EQ(Convert("--folder " + dir.File("in") + " --out-folder " + dir.File("out") +
                    " --ext '*.tvf' -f 'GeoPackage'"),
            0);
  EXPECT_EQ(Describe(dir.File("out/one.gpkg")).features, 36);
  EXPECT_EQ(Describe(dir.File("out/two.gpkg")).features, 36);
  ASSERT_EQ(Convert("--folder " + dir.File("in") + " --out-folder " + dir.File("out") +
                    " --ext '*.tvf' -f geojson --jobs 2"),
            0);
  EXPECT_EQ(Describe(dir.File("out/two.geojson")).features, 36);
}

}  // namespace
}  // namespace polvane
