// The GIS outputs: the lines of a conversion as point features in EPSG:4326 (longitude,
// latitude), written through GDAL/OGR as a GeoPackage, GeoJSON (RFC 7946), KML or ESRI
// Shapefile. The attributes are the line's cells in one table shape (wide or long), typed by the
// cells' kinds, plus the ISO-8601 UTC time of the record where it has a date and a GPS time.
//
// A layer needs its whole schema before its first feature, and a later line can add a column or
// widen a type: the sink learns the lines and keeps them in a spool file beside the output, and
// writes the dataset at the end of the file, under a temporary name beside the output that is
// renamed into place once the dataset is complete. A sink dropped before EndFile (a cancelled
// run) leaves nothing under the output name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "convert/line_sink.h"
#include "gis/gis_options.h"

namespace polvane {

// The GIS format of an output-format list name ("GeoPackage", "GeoJSON", "KML",
// "ESRI Shapefile"); false for any other name.
bool GisFormatOfName(std::string_view name, GisFormat& format);

// The sink that writes `output` in `format`. Its failures are reported by EndFile() (false) and
// ErrorText().
std::unique_ptr<LineSink> MakeGisSink(const std::string& output, GisFormat format,
                                      const GisOptions& options);

// Where the sinks name their temporary files for an interrupt handler to remove: the
// converters' RememberTemporary and ForgetTemporary, unless a program that loads the writers as
// a module hands its own (before the first sink is made).
void SetTemporaryRegistry(void (*remember)(const char*), void (*forget)(const char*));

// The sidecar file that lists a Shapefile's short attribute names beside their titles:
// "drive.shp" gives "drive.names.txt".
std::string ShapefileNamesPath(const std::string& output);

}  // namespace polvane
