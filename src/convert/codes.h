// The numbers that name a product and a data reduction mode throughout the core.
#pragma once

#include <cstdint>

namespace polvane {

// Data reduction modes.
enum Reduction : std::int16_t {
  kReduceNone = 0,
  kReduceLambda = 1,
  kReducePerMeters = 2,
  kReduceBestServer = 3,
  kReducePerSeconds = 4,
};

// Product codes (the item index of the input-format group).
enum ProductCode : std::int16_t {
  kProductNone = 0,
  kProductTarvik = 1,
  kProductSelvor = 2,
  kProductKesCard = 3,
  kProductKesDump = 4,
  kProductDrovel = 5,
  kProductUlvas = 6,
  kProductTarvikExt = 7,
  kProductPelmor = 8,
  kProductPelmorCard = 9,
};

}  // namespace polvane
