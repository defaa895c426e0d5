// The readers of the products: one object per product that the window model keeps (it holds what
// the window sets on the reader), and a fresh reader for every run.
#pragma once

#include <memory>
#include <vector>

#include "convert/product_converter.h"
#include "products/product_table.h"

namespace polvane {

// A new reader for one run (a conversion or an index) of the product of `from`, the window's
// reader, with the run's settings: it holds what the window set on `from` (its folder mode, the
// sections of the index, the average information gathered) and nothing that reading an earlier
// file left in it. What the readers carry from one file to the next is then
// carried only between the files of that run. nullptr when the product has no reader.
std::unique_ptr<ProductConverter> RunConverter(const ProductConverter& from,
                                               const ConversionSettings& settings);
// Gives `to`, a run's reader, the run's settings and what the window set on `from`, as
// RunConverter does.
void TakeWindowSettings(ProductConverter& to, const ProductConverter& from,
                        const ConversionSettings& settings);

class ConverterRegistry {
 public:
  ConverterRegistry();
  // The converter of a product code; nullptr for 0 (none), a product without a reader and
  // unknown codes. Products whose rows make the same reader share one object.
  ProductConverter* ForCode(int16_t code) const;
  // Every distinct converter object.
  template <class F>
  void ForEach(F&& f) const {
    for (const auto& c : objects_) f(*c);
  }

 private:
  std::vector<std::unique_ptr<ProductConverter>> objects_;
  // Per row of the products table, its object in objects_ (nullptr without a reader).
  std::vector<ProductConverter*> byRow_;
};

}  // namespace polvane
