// The catalogue of output fields that every product shares, and the fields each product offers.
#pragma once

#include <cstdint>
#include <span>

namespace polvane {

inline constexpr int kCatalogueSize = 60;  // entries 0..55 are filled, 56..59 stay empty
inline constexpr int kCatalogueFields = 56;
inline constexpr int kMaxOffered = 100;
inline constexpr int kMaxSelected = 100;

// Catalogue indices that the code refers to by name.
enum Field : int16_t {
  kFieldData = 0,
  kFieldFlexData = 1,
  kFieldPocsagData = 2,
  kFieldCrLf = 4,
  kFieldLatitudeDecimal = 5,
  kFieldLongitudeDecimal = 11,
  kFieldGpsTime = 18,
  kFieldRecordNumber = 32,
};

// Title of catalogue entry i ("" outside 0..55).
const char* CatalogueTitle(int i);

// The offer list of a product code in offer order; empty for codes without a reader.
std::span<const int16_t> OfferList(int16_t productCode);

}  // namespace polvane
