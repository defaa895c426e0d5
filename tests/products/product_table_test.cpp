// The products table: each row makes the reader of its own product, and the window model keeps
// one reader object per reader the rows make.
#include "products/product_table.h"

#include <gtest/gtest.h>

#include "app/converter_registry.h"

namespace polvane {
namespace {

TEST(ProductTable, EachRowMakesTheReaderOfItsOwnProduct) {
  for (const ProductRow& row : ProductRows()) {
    SCOPED_TRACE(row.Item);
    if (!row.Make) {
      EXPECT_EQ(NewConverter(row.Code), nullptr);
      continue;
    }
    const std::unique_ptr<ProductConverter> reader = NewConverter(row.Code);
    ASSERT_NE(reader, nullptr);
    // A reader that serves several rows names the first of them.
    const ProductRow* own = FindProduct(reader->ProductCodeValue());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Make, row.Make);
    EXPECT_LE(own->Code, row.Code);
  }
  EXPECT_EQ(NewConverter(kProductNone), nullptr);
  EXPECT_EQ(FindProduct(kProductNone), nullptr);
}

TEST(ProductTable, RowsOfOneReaderShareTheWindowsObject) {
  const ConverterRegistry registry;
  for (const ProductRow& a : ProductRows()) {
    SCOPED_TRACE(a.Item);
    EXPECT_EQ(registry.ForCode(a.Code) != nullptr, a.Make != nullptr);
    for (const ProductRow& b : ProductRows()) {
      if (!a.Make || !b.Make) continue;
      EXPECT_EQ(registry.ForCode(a.Code) == registry.ForCode(b.Code), a.Make == b.Make) << b.Item;
    }
  }
  EXPECT_EQ(registry.ForCode(kProductPelmor), registry.ForCode(kProductPelmorCard));
}

}  // namespace
}  // namespace polvane
