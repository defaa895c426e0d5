#include "convert/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace polvane {
namespace {

std::string Fixed(double v, int precision) {
  char buf[512];
  return std::string(buf, text::PutFixed(buf, v, precision));
}

std::string Printf(const char* format, double v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

TEST(Text, FixedMatchesPrintfOverMillionsOfValues) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> any(-2000.0, 2000.0);
  std::uniform_int_distribution<long long> decimals(-300000000, 300000000);
  std::uniform_int_distribution<int> precisionOf(0, 6), kind(0, 3);
  const char* formats[] = {"%.0f", "%.1f", "%.2f", "%.3f", "%.4f", "%.5f", "%.6f"};
  for (int i = 0; i < 1500000; ++i) {
    double v = 0;
    switch (kind(rng)) {
      case 0:
        v = any(rng);
        break;
      case 1:
        v = decimals(rng) / 100000.0;
        break;  // values that sit near a rounding tie
      case 2:
        v = (decimals(rng) + 0.5) / 10000.0;
        break;
      default:
        v = std::ldexp(any(rng), -static_cast<int>(rng() % 60));
        break;
    }
    const int p = precisionOf(rng);
    ASSERT_EQ(Fixed(v, p), Printf(formats[p], v)) << v << " at precision " << p;
  }
}

TEST(Text, FixedRoundsTiesAndKeepsNegativeZeroAsPrintfDoes) {
  for (double v : {0.5, 1.5, 2.5, -0.5, 0.125, 0.375, 2.675, 1.005, -0.0, 0.0, 1e-9, -1e-9, 870.03,
                   123456789.125})
    for (int p : {0, 2, 4})
      EXPECT_EQ(Fixed(v, p), Printf(p == 0 ? "%.0f" : p == 2 ? "%.2f" : "%.4f", v)) << v;
  EXPECT_EQ(Fixed(-0.0, 4), "-0.0000");
  // The extremes of the exact path: subnormal and smallest normal numbers, and magnitudes at
  // the edge where the general conversion takes over.
  for (double v : {5e-324, -5e-324, 2.2250738585072014e-308, 1e-300, 999999999999.99995,
                   -999999999999.5, 1e12, 4.5e15})
    for (int p : {0, 4, 6})
      EXPECT_EQ(Fixed(v, p), Printf(p == 0 ? "%.0f" : p == 4 ? "%.4f" : "%.6f", v)) << v;
}

TEST(Text, IntegersAndPadding) {
  char buf[64];
  auto put = [&](auto f) { return std::string(buf, f(buf)); };
  EXPECT_EQ(put([](char* p) { return text::Put02(p, 5); }), "05");
  EXPECT_EQ(put([](char* p) { return text::Put02(p, 123); }), "123");
  EXPECT_EQ(put([](char* p) { return text::Put02(p, -5); }), "-5");
  EXPECT_EQ(put([](char* p) { return text::PutPadded(p, 42, 9); }), "000000042");
  EXPECT_EQ(put([](char* p) { return text::PutPadded(p, -42, 5); }), "-0042");
  EXPECT_EQ(put([](char* p) { return text::Put02(p, 2024); }), "2024");
  EXPECT_EQ(
      put([](char* p) { return text::PutPadded(p, std::numeric_limits<long long>::min(), 3); }),
      "-9223372036854775808");
  EXPECT_EQ(put([](char* p) { return text::PutInt(p, std::numeric_limits<long long>::min()); }),
            "-9223372036854775808");
  // A byte's value from the table, and the values either side of it made as printf makes them.
  for (long long v = -300; v <= 300; ++v)
    EXPECT_EQ(put([&](char* p) { return text::PutByteValue(p, v); }), std::to_string(v));
}

}  // namespace
}  // namespace polvane
