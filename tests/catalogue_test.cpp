#include "convert/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace polvane {

TEST(Catalogue, TitlesKeepTheirExactText) {
  EXPECT_STREQ(CatalogueTitle(0), "<< DATA >>");
  EXPECT_STREQ(CatalogueTitle(43), "Y_Coordinate");
  EXPECT_STREQ(CatalogueTitle(33), "RTC Date (MM-DD-YY)");
  EXPECT_STREQ(CatalogueTitle(55), "TP Direction (deg from N)");
  EXPECT_STREQ(CatalogueTitle(56), "");
  EXPECT_STREQ(CatalogueTitle(-1), "");
}

TEST(Catalogue, NoProductOffersTheTestPointMotionFields) {
  for (int16_t code = 0; code <= 9; ++code)
    for (int16_t f : OfferList(code)) {
      EXPECT_NE(f, 54);
      EXPECT_NE(f, 55);
      EXPECT_STRNE(CatalogueTitle(f), "");
    }
}

TEST(Catalogue, OfferListsHaveTheirCountsAndNoDuplicates) {
  const std::pair<int16_t, size_t> counts[] = {{1, 30}, {2, 28}, {3, 38}, {4, 39}, {5, 9},
                                               {6, 0},  {7, 35}, {8, 43}, {9, 43}, {0, 0}};
  for (auto [code, count] : counts) {
    auto list = OfferList(code);
    EXPECT_EQ(list.size(), count) << code;
    EXPECT_EQ(std::set<int16_t>(list.begin(), list.end()).size(), count) << code;
  }
  // The Kes PC dump list is the PC card list followed by 45.
  auto card = OfferList(3), dump = OfferList(4);
  EXPECT_TRUE(std::equal(card.begin(), card.end(), dump.begin()));
  EXPECT_EQ(dump.back(), 45);
  // Date group order: date, year, month, day.
  auto tarvik = OfferList(1);
  auto at = std::find(tarvik.begin(), tarvik.end(), 33);
  ASSERT_NE(at, tarvik.end());
  EXPECT_EQ(at[1], 36);
  EXPECT_EQ(at[2], 34);
  EXPECT_EQ(at[3], 35);
}

}  // namespace polvane
