// Damaged Kes logs: whatever the bytes say, both readers stay inside their buffers and end.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "app/form_controls.h"
#include "formats/fixed_layouts.h"
#include "products/kes/kes_card_converter.h"
#include "products/kes/kes_dump_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/kes_dump_log.h"
#include "support/paging_encoder.h"

namespace polvane {
namespace {

using namespace polvane::testing;

// Record-shaped noise: type bytes and lengths of the log's own kinds with random bodies, so
// that the readers get far into the file instead of stopping at the first byte.
Bytes CardNoise(std::mt19937& rng) {
  static const std::uint8_t kTypes[] = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x97};
  Bytes b;
  for (int r = 0; r < 60; ++r) {
    b.U8(kTypes[rng() % 7]);
    const int n = static_cast<int>(rng() % 700);
    for (int i = 0; i < n; ++i) b.U8(static_cast<std::uint8_t>(rng()));
  }
  return b;
}

Bytes DumpNoise(std::mt19937& rng) {
  static const std::uint8_t kTypes[] = {1, 3, 5, 7, 8, 15, 20, 32, 34, 0x80};
  Bytes b;
  for (int r = 0; r < 60; ++r) {
    const int n = static_cast<int>(rng() % 900);
    b.U8(0xAA).LE16(static_cast<std::uint16_t>(rng() % 8 == 0 ? rng() : n + 1));
    b.U8(kTypes[rng() % 10]);
    for (int i = 1; i < n; ++i) b.U8(static_cast<std::uint8_t>(rng()));
  }
  return b;
}

class KesDamaged : public ::testing::Test {
 protected:
  KesDamaged()
      : card(std::make_unique<KesCardConverter>()), dump(std::make_unique<KesDumpConverter>()) {
    form.ChannelField.SetChecked(true);
    form.SATField.SetChecked(true);
    form.VMACField.SetChecked(true);
    form.ORPS_Value.SetText("0");
    form.OutputFilename.SetText(dir.File("out.m01"));
  }

  // Indexes the file, then converts it in every reduction mode and fixed layout.
  void Exercise(ProductConverter& c, const std::string& path) {
    IndexSections(c, form, path);
    for (std::int16_t mode : {kReduceNone, kReduceBestServer, kReducePerSeconds}) {
      ConversionSettings s;
      s.ReductionMode = mode;
      form.OutputFormatGroup.SetItemIndex(11);
      Convert(c, form, path, Fields({0, 1, 2, 3, 17, 5, 18, 26, 27, 29, 30, 32, 33, 41, 42, 45}),
              s);
    }
    for (int format : {kFixedGrayson, kFixedPathPro, kFixedPlanet, kFixedInFielder}) {
      ConversionSettings s;
      s.FixedLayout = true;
      s.OutputFormat = format;
      form.OutputFormatGroup.SetItemIndex(format);
      Convert(c, form, path, Fields({}), s);
    }
  }

  ScratchDir dir;
  FormControls form;
  std::unique_ptr<KesCardConverter> card;
  std::unique_ptr<KesDumpConverter> dump;
};

TEST_F(KesDamaged, NoiseInEitherLogIsReadToItsEnd) {
  std::mt19937 rng(20240615);
  for (int round = 0; round < 12; ++round) {
    KesCardLogBuilder log;
    log.Raw(CardNoise(rng));
    const std::string cardPath = dir.File("noise" + std::to_string(round) + ".bin");
    log.WriteTo(cardPath);
    Exercise(*card, cardPath);

    KesDumpLogBuilder dumpLog;
    dumpLog.Garbage(DumpNoise(rng));
    const std::string dumpPath = dir.File("noise" + std::to_string(round) + ".kes");
    dumpLog.WriteTo(dumpPath);
    Exercise(*dump, dumpPath);
  }
}

TEST_F(KesDamaged, ADumpFrameLongerThanTheRecordBufferIsCutAndTheNextOneRead) {
  form.FieldTitles.SetChecked(false);
  form.ChannelField.SetChecked(false);
  form.SATField.SetChecked(false);
  form.VMACField.SetChecked(false);
  KesDumpRecord flex;
  flex.type = 15;
  flex.declaredCount = 1;
  flex.paging =
      FlexFrameBuilder().Page(0, FlexNumeric(5, "1")).Build().Capture(1031);  // a frame of L = 4195
  KesDumpRecord next;
  next.type = 3;
  next.channels = {{5, 77}};
  KesDumpLogBuilder log;
  log.Setup({}).Data(flex).Data(next);
  const std::string path = dir.File("long.kes");
  log.WriteTo(path);
  const auto lines = Lines(Convert(*dump, form, path, Fields({1, 0})));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "FLEX   NS 0000000005 1   ,0.0000,-0");
  EXPECT_EQ(lines[1], ",870.1500,-77");
}

}  // namespace
}  // namespace polvane
