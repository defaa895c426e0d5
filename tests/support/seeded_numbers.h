// Numbers that look random but are the same in every run, for tests that try many inputs.
#pragma once

#include <cstdint>

namespace polvane::testing {

class SeededNumbers {
 public:
  explicit SeededNumbers(std::uint64_t seed) : state_(seed) {}
  // The next number, below 2^31.
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }

 private:
  std::uint64_t state_;
};

}  // namespace polvane::testing
