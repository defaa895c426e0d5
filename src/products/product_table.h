// The products table (the rows are described in convert/product_rows.h) and what is made from its
// rows: the readers, the input-format list and the log dialog's filter.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "convert/product_converter.h"
#include "convert/product_rows.h"

namespace polvane {

// A new reader of product `code`, as constructed, nothing read yet; nullptr for 0 (none), for a
// product without a reader (the Ulvas) and for unknown codes.
std::unique_ptr<ProductConverter> NewConverter(std::int16_t code);

// The items of the input-format list: "(None)" at 0, then each product's at its code.
std::vector<std::string> InputFormatItems();

// The log dialog's filter: the "Label|*.ext" entries of the products that have one, in the
// order of their codes.
std::string LogFileFilter();

}  // namespace polvane
