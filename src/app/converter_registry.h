// One converter object per product, created once and kept for the whole program.
#pragma once

#include <array>
#include <memory>

#include "convert/product_converter.h"

namespace polvane {

// Whether the reader of product `code` writes the fixed layout of output-format list index
// `format`: every reader writes Grayson IQ Analyzer, MLJ PathPro and MSI Planet; only the Kes
// readers write Wireless Valley InFielder.
bool ProductWritesLayout(int16_t code, int format);

// Whether the records of product `code` carry a position (every product but the Drovel).
bool ProductHasPosition(int16_t code);

class ConverterRegistry {
 public:
  ConverterRegistry();
  // The converter of a product code; nullptr for 0 (none), 6 (Ulvas) and unknown codes.
  // Codes 8 and 9 share one object.
  ProductConverter* ForCode(int16_t code) const;
  // Every distinct converter object.
  template <class F>
  void ForEach(F&& f) const {
    for (const auto& c : objects_) f(*c);
  }

 private:
  std::array<std::unique_ptr<ProductConverter>, 7> objects_;
};

}  // namespace polvane
