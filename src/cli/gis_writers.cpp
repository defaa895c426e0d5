// The GIS writers of the command line and the Python module: the form's map formats written
// by the map writers' module, with the form's map options (layout, colour bands, colour column)
// as they stand when a file's writer is made. The module is loaded only once a map format is
// chosen.
#include "app/gis_module.h"
#include "cli/convert_command.h"
#include "convert/output_formats.h"

namespace polvane {

void InstallGisWriters(TMainForm& form, std::atomic<bool>* missingColorColumn) {
  form.GisSinkFactory = [&form, missingColorColumn](const std::string& output,
                                                    int format) -> std::unique_ptr<LineSink> {
    const OutputFormatRow* row = FindOutputFormat(format);
    GisFormat kind;
    if (!row || !GisFormatOfName(row->Name, kind)) return nullptr;
    const GisWriters* writers = LoadGisWriters();
    if (!writers) return nullptr;
    GisOptions options = form.CurrentMapOptions();
    options.MissingColorColumn = missingColorColumn;
    return writers->MakeSink(output, kind, options);
  };
  form.GisWritersMissing = &polvane::GisWritersMissing;
}

}  // namespace polvane
