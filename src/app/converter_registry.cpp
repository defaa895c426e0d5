#include "app/converter_registry.h"

#include "products/kes/kes_card_converter.h"
#include "products/kes/kes_dump_converter.h"
#include "products/tarvik/tarvik_converter.h"

namespace polvane {

ConverterRegistry::ConverterRegistry() {
  objects_[0] = std::make_unique<TarvikConverter>();
  objects_[1] = std::make_unique<PendingConverter>(kProductSelvor);
  objects_[2] = std::make_unique<KesCardConverter>();
  objects_[3] = std::make_unique<KesDumpConverter>();
  objects_[4] = std::make_unique<PendingConverter>(kProductDrovel);
  objects_[5] = std::make_unique<PendingConverter>(kProductTarvikExt);
  objects_[6] = std::make_unique<PendingConverter>(kProductPelmor);
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
