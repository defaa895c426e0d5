// The readers of the products: one object per product that the window model keeps (it holds what
// the window sets on the reader), and a fresh reader for every run.
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

// A new reader of product `code`, as constructed, nothing read yet; nullptr for 0 (none), 6 (Ulvas)
// and unknown codes. Codes 8 and 9 share one reader class.
std::unique_ptr<ProductConverter> NewConverter(int16_t code);

// A new reader for one run (a conversion or an index) of the product of `from`, the window's
// reader, with the run's settings: it holds what the window set on `from` (its Lambda dialog,
// folder mode, the sections of the index, the average information gathered) and nothing that
// reading an earlier file left in it. What the readers carry from one file to the next is then
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
