// The map writers (GeoPackage, GeoJSON, KML, ESRI Shapefile) as a module of their own,
// polvane_gis.so: GDAL and the hundred-odd libraries it brings cost every process that maps them
// about 0.1 s of CPU and 36 MB at start-up, so only a run that writes a map format loads them.
// The module is looked for beside the program (or the Python extension) that holds this code,
// then in ../lib/polvane from there (where `cmake --install` puts it).
//
// The module is built from this same tree: its entry point checks that both sides agree on the
// interface (the version and the sizes of the values that cross it) and refuses otherwise.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "convert/line_sink.h"
#include "gis/gis_options.h"

namespace polvane {

inline constexpr const char* kGisModuleFile = "polvane_gis.so";
inline constexpr const char* kGisModuleEntry = "polvane_gis_writers";
inline constexpr int kGisModuleVersion = 1;

// What the module gives.
class GisWriters {
 public:
  // The sink that writes `output` in `format`; its failures are reported by EndFile() (false)
  // and ErrorText().
  virtual std::unique_ptr<LineSink> MakeSink(const std::string& output, GisFormat format,
                                             const GisOptions& options) const = 0;

 protected:
  ~GisWriters() = default;
};

// What the module is given: the program's own list of temporary files, which its interrupt
// handler removes (the module's copy of the converters keeps a list that no handler reads).
struct GisModuleHost {
  int Version = kGisModuleVersion;
  std::size_t OptionsSize = sizeof(GisOptions);
  std::size_t LineSize = sizeof(Line);
  std::size_t CellSize = sizeof(Cell);
  void (*RememberTemporary)(const char* path) = nullptr;
  void (*ForgetTemporary)(const char* path) = nullptr;
};

// The module's entry point, exported as kGisModuleEntry: null when it was built for another
// interface than `host`'s.
using GisModuleEntry = const GisWriters* (*)(const GisModuleHost* host);

// The map format of an output-format list name ("GeoPackage", "GeoJSON", "KML",
// "ESRI Shapefile"); false for any other name.
bool GisFormatOfName(std::string_view name, GisFormat& format);

// The writers, loaded on the first call (from any thread; the module stays loaded). Null when the
// module cannot be had, with the reason in `why` (the names looked for and the loader's error).
const GisWriters* LoadGisWriters(std::string* why = nullptr);

// "" when the map writers can be had, else why not (for TMainForm::GisWritersMissing).
std::string GisWritersMissing();

}  // namespace polvane
