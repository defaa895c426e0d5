#include "convert/identify.h"

#include <gtest/gtest.h>

#include "support/bytes.h"

namespace polvane {
namespace {

using namespace testing;

class IdentifyTest : public ::testing::Test {
 protected:
  std::int16_t Identify(const Bytes& b) {
    const std::string path = dir.File("f.log");
    WriteFile(path, b.Data());
    return IdentifyProduct(path);
  }
  // A length-prefixed identification record naming the product.
  static Bytes IdRecord(const std::string& name, char type = 'I') {
    Bytes body;
    body.U8(static_cast<std::uint8_t>(type)).LE32(static_cast<std::uint32_t>(name.size()));
    body.Text(name).LE32(4).Text("1.00");
    Bytes b;
    b.LE32(static_cast<std::uint32_t>(body.Size())).Append(body.Data());
    return b;
  }
  // A header whose first length word is outside 1..256, with `tag` at `offset`.
  static Bytes TagAt(const std::string& tag, std::size_t offset) {
    Bytes b;
    b.LE32(0x7FFFFFFF).Text(std::string(offset - 4, 'x')).Text(tag).Zeros(40);
    return b;
  }
  ScratchDir dir;
};

TEST_F(IdentifyTest, IdentificationRecordNames) {
  EXPECT_EQ(Identify(IdRecord("QVX TARVIK")), 1);
  EXPECT_EQ(Identify(IdRecord("QVX SELVOR")), 2);
  EXPECT_EQ(Identify(IdRecord("QVX KES CARD")), 3);
  EXPECT_EQ(Identify(IdRecord("QVX DROVEL")), 5);
  EXPECT_EQ(Identify(IdRecord("SELV KES")), 2);  // the first match in the order tested
  EXPECT_EQ(Identify(IdRecord("ULVAS")), 0);
}

TEST_F(IdentifyTest, NonIdentificationFirstRecordIsUnknownEvenWithATag) {
  EXPECT_EQ(Identify(IdRecord("TQL TQL", 'F')), 0);
}

TEST_F(IdentifyTest, NameCountAndZeroByteLimitTheName) {
  Bytes cut;
  Bytes body;
  body.U8('I').LE32(3).Text("TARVIK").Zeros(4);
  cut.LE32(static_cast<std::uint32_t>(body.Size())).Append(body.Data());
  EXPECT_EQ(Identify(cut), 0);  // only "TAR" counts
  Bytes hidden;
  Bytes body2;
  body2.U8('I').LE32(10).Text("QV").U8(0).Text("TARVIK").Zeros(4);
  hidden.LE32(static_cast<std::uint32_t>(body2.Size())).Append(body2.Data());
  EXPECT_EQ(Identify(hidden), 0);
}

TEST_F(IdentifyTest, HeaderTagsInTheirOrder) {
  EXPECT_EQ(Identify(TagAt("QVXKES", 4)), 4);
  EXPECT_EQ(Identify(TagAt("QVXKES", 8)), 4);  // anywhere from offset 4
  EXPECT_EQ(Identify(TagAt("KES", 6)), 3);
  EXPECT_EQ(Identify(TagAt("XXTQLXX", 10)), 7);
  EXPECT_EQ(Identify(TagAt("QVXPELMOR", 9)), 8);
  EXPECT_EQ(Identify(TagAt("QVXPELMOR", 13)), 9);
  EXPECT_EQ(Identify(TagAt("QVXPELMOR", 20)), 9);
  EXPECT_EQ(Identify(TagAt("NOTHING", 8)), 0);
}

TEST_F(IdentifyTest, ZeroByteEndsEverySearch) {
  Bytes b;
  b.LE32(0x7FFFFFFF).Text("AB").U8(0).Text("TQL").Zeros(30);
  EXPECT_EQ(Identify(b), 0);
}

TEST_F(IdentifyTest, NegativeFirstLengthIsTreatedAsHeaderless) {
  Bytes b;
  b.LE32(0xFFFFFFF0).Text("QVXKES").Zeros(30);
  EXPECT_EQ(Identify(b), 4);
}

TEST_F(IdentifyTest, ShortEmptyAndMissingFiles) {
  EXPECT_EQ(Identify(Bytes()), 0);
  EXPECT_EQ(Identify(Bytes().U8(1).U8(0)), 0);
  EXPECT_EQ(IdentifyProduct(dir.File("missing.tvf")), 0);
  EXPECT_EQ(IdentifyProduct(dir.Path().string()), 0);  // a folder
}

TEST(ProductLabel, LabelsOfTheCodes) {
  EXPECT_STREQ(ProductLabel(7), "QVX Tarvik (>=fv1.27)");
  EXPECT_STREQ(ProductLabel(9), "QVX Pelmor");
  EXPECT_STREQ(ProductLabel(0), "(None)");
  EXPECT_STREQ(ProductLabel(6), "(None)");
}

}  // namespace
}  // namespace polvane
