// The output formats of the format list, one row each: what the list shows, how the format is
// written, and the preset the window applies when the format is chosen. The list index is the
// number saved in configuration files and given to `polvane convert -f`; formats are only ever
// appended.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace polvane {

enum class FormatWriter : std::uint8_t {
  kDelimited,  // the delimited lines of the selected fields
  kFixed,      // a fixed post-processing layout (src/formats)
  kGis,        // point features through GDAL (src/gis), the GDAL format named as the list names it
};

// What choosing the format sets in the window. A header or delimiter of -1 leaves the control as
// it was; fields are given only when the preset selects (it always clears the selection first).
struct FormatPreset {
  bool SelectsFields = false;
  bool Header = false;
  int Delimiter = -1;  // item of the delimiter group: 0 comma, 2 tab
  std::span<const std::int16_t> Fields;
  std::span<const std::int16_t> DrovelFields;  // the Drovel's choice of the same preset
  // Frequency and channel off, RSSI on, receiver 1 alone.
  bool DataBoxes = false;
};

struct OutputFormatRow {
  int Index;
  std::string_view Name;
  FormatWriter Writer;
  bool Binary;                   // pieces reach the file byte for byte (else CR LF text)
  std::string_view DefaultName;  // the output name the preset sets; empty: the derived name
  // Written before the titles of each output file, as text (a line end becomes CR LF).
  std::string_view PreHeader;
  FormatPreset Preset;
  // The output name's extension, where the format has its own ("" keeps ".out"), and the short
  // name `polvane convert -f` also takes.
  std::string_view Extension = "";
  std::string_view ShortName = "";
};

// Field lists of the presets (catalogue indices, in order).
namespace preset_fields {
inline constexpr std::int16_t kData[] = {0};
inline constexpr std::int16_t kLonLatData[] = {11, 5, 0};
inline constexpr std::int16_t kLatLonData[] = {5, 11, 0};
inline constexpr std::int16_t kLonLatTime[] = {11, 5, 18};
inline constexpr std::int16_t kTec[] = {32, 6, 7, 9, 10, 12, 13, 15, 16, 0, 36, 34, 35, 19, 20, 21};
inline constexpr std::int16_t kRecordNumber[] = {32};
}  // namespace preset_fields

inline constexpr int kCommaItem = 0;
inline constexpr int kTabItem = 2;

// clang-format off
inline constexpr OutputFormatRow kOutputFormats[] = {
    {0, "Comarco Workbench", FormatWriter::kDelimited, false, "", "", {}},
    {1, "EDX SignalPro", FormatWriter::kDelimited, false, "", "5\n",
     {true, false, kCommaItem, preset_fields::kLonLatData, preset_fields::kData, true}},
    {2, "Expert Wireless MaXPlan", FormatWriter::kDelimited, false, "test.sdr", "",
     {true, false, kTabItem, preset_fields::kLatLonData, preset_fields::kData, true}},
    {3, "Grayson IQ Analyzer", FormatWriter::kFixed, false, "", "", {}},
    {4, "MapInfo (w/ dB Planner)", FormatWriter::kDelimited, false, "", "",
     {true, false, kTabItem, preset_fields::kLonLatData, preset_fields::kData, false}},
    {5, "Microsoft Excel", FormatWriter::kDelimited, false, "", "",
     {true, true, kTabItem, preset_fields::kLonLatTime, {}, false}},
    {6, "MLJ PathPro", FormatWriter::kFixed, true, "MLJ.M01", "", {}},
    {7, "MSI Planet", FormatWriter::kFixed, false, "", "", {}},
    {8, "SAFCO OPAS32", FormatWriter::kDelimited, false, "", "", {}},
    {9, "TEC Cellular Wizard", FormatWriter::kDelimited, false, "", "",
     {true, false, kCommaItem, preset_fields::kTec,
      preset_fields::kRecordNumber, false}},
    {10, "Teleworx PlotworX", FormatWriter::kDelimited, false, "", "",
     {true, false, kTabItem, preset_fields::kLonLatData, preset_fields::kData, false}},
    {11, "Custom ASCII Configuration", FormatWriter::kDelimited, false, "", "",
     {true, false, kCommaItem, {}, {}, false}},
    {12, "Wireless Valley InFielder", FormatWriter::kFixed, false, "", "", {}},
    {13, "GeoPackage", FormatWriter::kGis, true, "", "", {}, ".gpkg", "gpkg"},
    {14, "GeoJSON", FormatWriter::kGis, true, "", "", {}, ".geojson", "geojson"},
    {15, "KML", FormatWriter::kGis, true, "", "", {}, ".kml", "kml"},
    {16, "ESRI Shapefile", FormatWriter::kGis, true, "", "", {}, ".shp", "shp"},
};
// clang-format on

// The row of a list index; nullptr for an index without one.
constexpr const OutputFormatRow* FindOutputFormat(int index) {
  for (const OutputFormatRow& row : kOutputFormats)
    if (row.Index == index) return &row;
  return nullptr;
}

}  // namespace polvane
