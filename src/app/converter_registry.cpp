#include "app/converter_registry.h"

#include "products/drovel/drovel_converter.h"
#include "products/kes/kes_card_converter.h"
#include "products/kes/kes_dump_converter.h"
#include "products/pelmor/pelmor_converter.h"
#include "products/selvor/selvor_converter.h"
#include "products/tarvik/tarvik_converter.h"
#include "products/tarvik/tarvik_ext_converter.h"

namespace polvane {

namespace {

// Output-format list indices of the fixed layouts, as bits of a set.
enum : unsigned {
  kGrayson = 1u << 3,
  kPathPro = 1u << 6,
  kPlanet = 1u << 7,
  kInFielder = 1u << 12,
};

struct ProductLayouts {
  int16_t code;
  unsigned layouts;
  bool position;  // its records carry a GPS position
};

const ProductLayouts kProductLayouts[] = {
    {kProductTarvik, kGrayson | kPathPro | kPlanet, true},
    {kProductSelvor, kGrayson | kPathPro | kPlanet, true},
    {kProductKesCard, kGrayson | kPathPro | kPlanet | kInFielder, true},
    {kProductKesDump, kGrayson | kPathPro | kPlanet | kInFielder, true},
    {kProductDrovel, kGrayson | kPathPro | kPlanet, false},
    {kProductTarvikExt, kGrayson | kPathPro | kPlanet, true},
    {kProductPelmor, kGrayson | kPathPro | kPlanet, true},
    {kProductPelmorCard, kGrayson | kPathPro | kPlanet, true},
};

}  // namespace

bool ProductWritesLayout(int16_t code, int format) {
  if (format < 0 || format >= 32) return false;
  for (const ProductLayouts& row : kProductLayouts)
    if (row.code == code) return (row.layouts >> format & 1u) != 0;
  return false;
}

bool ProductHasPosition(int16_t code) {
  for (const ProductLayouts& row : kProductLayouts)
    if (row.code == code) return row.position;
  return false;
}

std::unique_ptr<ProductConverter> NewConverter(int16_t code) {
  switch (code) {
    case kProductTarvik:
      return std::make_unique<TarvikConverter>();
    case kProductSelvor:
      return std::make_unique<SelvorConverter>();
    case kProductKesCard:
      return std::make_unique<KesCardConverter>();
    case kProductKesDump:
      return std::make_unique<KesDumpConverter>();
    case kProductDrovel:
      return std::make_unique<DrovelConverter>();
    case kProductTarvikExt:
      return std::make_unique<TarvikExtConverter>();
    case kProductPelmor:
    case kProductPelmorCard:
      return std::make_unique<PelmorConverter>();
    default:
      return nullptr;
  }
}

std::unique_ptr<ProductConverter> RunConverter(const ProductConverter& from,
                                               const ConversionSettings& settings) {
  std::unique_ptr<ProductConverter> c = NewConverter(from.ProductCodeValue());
  if (c) TakeWindowSettings(*c, from, settings);
  return c;
}

void TakeWindowSettings(ProductConverter& to, const ProductConverter& from,
                        const ConversionSettings& settings) {
  to.Settings = settings;
  to.LambdaDlg = from.LambdaDlg;
  to.BatchMode = from.BatchMode;
  to.SectionNodes = from.SectionNodes;
  to.GatherRecords = from.GatherRecords;
  to.GatherSeconds = from.GatherSeconds;
  to.RecordsPerSecond = from.RecordsPerSecond;
}

ConverterRegistry::ConverterRegistry() {
  int i = 0;
  for (int16_t code : {kProductTarvik, kProductSelvor, kProductKesCard, kProductKesDump,
                       kProductDrovel, kProductTarvikExt, kProductPelmor})
    objects_[i++] = NewConverter(code);
}

ProductConverter* ConverterRegistry::ForCode(int16_t code) const {
  switch (code) {
    case kProductTarvik:
      return objects_[0].get();
    case kProductSelvor:
      return objects_[1].get();
    case kProductKesCard:
      return objects_[2].get();
    case kProductKesDump:
      return objects_[3].get();
    case kProductDrovel:
      return objects_[4].get();
    case kProductTarvikExt:
      return objects_[5].get();
    case kProductPelmor:
    case kProductPelmorCard:
      return objects_[6].get();
    default:
      return nullptr;
  }
}

}  // namespace polvane
