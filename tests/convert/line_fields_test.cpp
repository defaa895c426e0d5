// The common fields (position, times, clock) that a reader fills for the fields of a line:
// worked out once for all of one line, again for the next, and afresh for every field asked for
// outside a line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "convert/codes.h"
#include "convert/product_converter.h"

namespace polvane {
namespace {

// A reader whose clock moves on a second each time it fills the common fields, so that the
// texts tell how often it was asked.
class TickingClock : public ProductConverter {
 public:
  TickingClock() : ProductConverter(kProductDrovel) {}
  using ProductConverter::LineFields;  // the scope the record loop opens for each line

  std::string Field(int16_t field) {
    char out[64];
    return std::string(out, FieldValue(field, out));
  }
  int productFields = 0;

 protected:
  void FillCommonFields(CommonFields& f) const override {
    const int second = fills_++;
    f.HasRtcTime = true;
    f.RtcTime = {10, 20, second};
  }
  char* ProductField(int16_t field, char* p) override {
    ++productFields;
    return p + std::snprintf(p, 16, "p%d", field);
  }

 private:
  mutable int fills_ = 0;
};

constexpr int16_t kRtcTime = 37;
constexpr int16_t kRtcSecond = 40;

TEST(LineFields, ALineFillsItsCommonFieldsOnceAndTheNextLineAgain) {
  TickingClock c;
  {
    const TickingClock::LineFields line(c);
    EXPECT_EQ(c.Field(29), "p29");  // a product field fills nothing
    EXPECT_EQ(c.Field(kRtcTime), "10:20:00");
    EXPECT_EQ(c.Field(kRtcSecond), "00");  // the same fill
    EXPECT_EQ(c.Field(kRtcTime), "10:20:00");
  }
  {
    const TickingClock::LineFields line(c);
    EXPECT_EQ(c.Field(kRtcSecond), "01");
    EXPECT_EQ(c.Field(kRtcTime), "10:20:01");
  }
  EXPECT_EQ(c.productFields, 1);
}

TEST(LineFields, OutsideALineEveryCommonFieldIsFilledAfresh) {
  TickingClock c;
  EXPECT_EQ(c.Field(kRtcSecond), "00");
  EXPECT_EQ(c.Field(kRtcSecond), "01");
  {
    const TickingClock::LineFields line(c);
    EXPECT_EQ(c.Field(kRtcSecond), "02");
    EXPECT_EQ(c.Field(kRtcSecond), "02");
  }
  // A line that has ended leaves nothing behind for the fields asked for after it.
  EXPECT_EQ(c.Field(kRtcSecond), "03");
}

}  // namespace
}  // namespace polvane
