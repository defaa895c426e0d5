#include "app/converter_registry.h"

namespace polvane {

std::unique_ptr<ProductConverter> RunConverter(const ProductConverter& from,
                                               const ConversionSettings& settings) {
  std::unique_ptr<ProductConverter> c = NewConverter(from.ProductCodeValue());
  if (c) TakeWindowSettings(*c, from, settings);
  return c;
}

void TakeWindowSettings(ProductConverter& to, const ProductConverter& from,
                        const ConversionSettings& settings) {
  to.SetSettings(settings);
  to.SetBatchMode(from.BatchMode());
  to.Sections().TakeTable(from.Sections());
  to.Gathering().TakeCounts(from.Gathering());
}

ConverterRegistry::ConverterRegistry() {
  const std::span<const ProductRow> rows = ProductRows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ProductConverter* object = nullptr;
    for (std::size_t k = 0; k < i && rows[i].Make; ++k)
      if (rows[k].Make == rows[i].Make) object = byRow_[k];
    if (!object && rows[i].Make) object = objects_.emplace_back(rows[i].Make()).get();
    byRow_.push_back(object);
  }
}

ProductConverter* ConverterRegistry::ForCode(int16_t code) const {
  const std::span<const ProductRow> rows = ProductRows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Code == code) return byRow_[i];
  return nullptr;
}

}  // namespace polvane
