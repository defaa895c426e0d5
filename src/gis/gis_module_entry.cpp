// The entry point of the map writers' module (polvane_gis.so), which app/gis_module.cpp loads
// when a run writes a map format.
#include "app/gis_module.h"
#include "gis/gis_sink.h"

namespace polvane {
namespace {

class ModuleWriters final : public GisWriters {
 public:
  std::unique_ptr<LineSink> MakeSink(const std::string& output, GisFormat format,
                                     const GisOptions& options) const override {
    return MakeGisSink(output, format, options);
  }
};

}  // namespace
}  // namespace polvane

extern "C" __attribute__((visibility("default"))) const polvane::GisWriters* polvane_gis_writers(
    const polvane::GisModuleHost* host) {
  using polvane::GisModuleHost;
  if (!host || host->Version != polvane::kGisModuleVersion ||
      host->OptionsSize != sizeof(polvane::GisOptions) || host->LineSize != sizeof(polvane::Line) ||
      host->CellSize != sizeof(polvane::Cell) || !host->RememberTemporary || !host->ForgetTemporary)
    return nullptr;
  polvane::SetTemporaryRegistry(host->RememberTemporary, host->ForgetTemporary);
  static const polvane::ModuleWriters writers;
  return &writers;
}
