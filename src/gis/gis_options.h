// The choices of the map formats (GeoPackage, GeoJSON, KML, Shapefile), as a plain value that
// the window model keeps with its other settings and saves in a configuration file: the table
// shape, the colour bands and the column that colours the points. Nothing here needs GDAL.
#pragma once

#include <atomic>
#include <string>

#include "convert/signal_colors.h"
#include "convert/table_shape.h"

namespace polvane {

enum class GisFormat { GeoPackage, GeoJson, Kml, Shapefile };

struct GisOptions {
  TableLayout Layout = TableLayout::Wide;
  // The KML colours: the bands of a level.
  SignalColors Colors;
  // The attribute whose value colours each point, named as the layer names it ("Rec#2 RSSI",
  // "RSSI" in the long layout, "Speed (MPH)"); empty: the line's strongest RSSI.
  std::string ColorColumn;
  // Set (when given) by a writer whose lines have no attribute ColorColumn, so that a front end
  // can take it for a usage error; the writer fails with the reason.
  std::atomic<bool>* MissingColorColumn = nullptr;
};

}  // namespace polvane
