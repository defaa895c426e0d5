// The GIS writers of the command line and the Python module: the form's map formats written
// through src/gis, with the form's map options (layout, colour bands, colour column) as they
// stand when a file's writer is made.
#include "cli/convert_command.h"
#include "convert/output_formats.h"
#include "gis/gis_sink.h"

namespace polvane {

void InstallGisWriters(TMainForm& form, std::atomic<bool>* missingColorColumn) {
  form.GisSinkFactory = [&form, missingColorColumn](const std::string& output,
                                                    int format) -> std::unique_ptr<LineSink> {
    const OutputFormatRow* row = FindOutputFormat(format);
    GisFormat kind;
    if (!row || !GisFormatOfName(row->Name, kind)) return nullptr;
    GisOptions options = form.CurrentMapOptions();
    options.MissingColorColumn = missingColorColumn;
    return MakeGisSink(output, kind, options);
  };
}

}  // namespace polvane
