// The time the index keeps of each record (a section's start and end) is the time of the
// record's place, for every bundled sample: the readers that give it on their own, without
// working out the position, give the same, and so does the whole second the index takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/converter_registry.h"
#include "convert/identify.h"
#include "convert/record_pass.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/pelmor_log.h"

namespace polvane {
namespace {

TEST(RecordTime, IsThePlacesTimeOnEveryRecordOfEverySample) {
  const std::filesystem::path samples = std::filesystem::path(POLVANE_SOURCE_DIR) / "samples";
  ConverterRegistry converters;
  int logs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(samples)) {
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    ProductConverter* c = converters.ForCode(IdentifyProduct(path));
    if (!c) continue;
    ASSERT_EQ(c->OpenInput(path), 0);
    c->SetConverting(false);
    auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
    long records = 0, timed = 0;
    RecordPass().Run(*c, buffer.get(), RunState{}, entry.file_size(), [&](std::int16_t) {
      LinePlace place;
      c->Place(place);
      double seconds = -1;
      const bool has = c->RecordSeconds(seconds);
      ++records;
      EXPECT_EQ(has, place.HasTime) << "record " << records;
      if (has && place.HasTime) {
        EXPECT_EQ(seconds, place.GpsSeconds) << "record " << records;
        ++timed;
      }
      std::uint32_t whole = 0;
      const bool hasWhole = c->RecordTime(whole);
      EXPECT_EQ(hasWhole, place.HasTime && place.GpsSeconds >= 0) << "record " << records;
      if (hasWhole && place.HasTime) {
        EXPECT_EQ(whole, static_cast<std::uint32_t>(place.GpsSeconds)) << "record " << records;
      }
    });
    c->CloseInput();
    EXPECT_GT(records, 0);
    EXPECT_GT(timed, 0);
    ++logs;
  }
  EXPECT_GE(logs, 7);
}

// A Kes log's GPS time is zero until its first GPS record: the records before it have no time
// (a section they start takes its start from its first GPS time, a map line has no time stamp),
// in the long GPS form and in the short.
TEST(RecordTime, AKesRecordBeforeTheFirstGpsRecordHasNoTime) {
  for (const std::uint16_t firmware : {105, 150}) {
    SCOPED_TRACE(firmware);
    testing::ScratchDir dir;
    const std::string path = dir.File("drive.bin");
    testing::KesScan scan;
    scan.codes = {5};
    scan.firmware = firmware;
    testing::KesGpsFix fix;
    fix.clock = testing::KesDriveClock(2);
    fix.gps = {9, 30, 2};
    testing::KesCardLogBuilder log;
    log.Scan(scan)
        .Data(testing::KesDriveClock(0), {60})
        .Data(testing::KesDriveClock(1), {61})
        .Gps(fix)
        .Data(testing::KesDriveClock(3), {62});
    log.WriteTo(path);
    ConverterRegistry converters;
    ProductConverter* c = converters.ForCode(IdentifyProduct(path));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->OpenInput(path), 0);
    auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
    std::vector<long> times;  // -1: none
    RecordPass().Run(*c, buffer.get(), RunState{}, log.Data().size(), [&](std::int16_t) {
      std::uint32_t seconds = 0;
      LinePlace place;
      c->Place(place);
      EXPECT_EQ(c->RecordTime(seconds), place.HasTime);
      times.push_back(place.HasTime ? static_cast<long>(seconds) : -1);
    });
    c->CloseInput();
    const long gps = 9 * 3600 + 30 * 60 + 2;
    EXPECT_EQ(times, (std::vector<long>{-1, -1, -1, gps, gps}));
  }
}

// Samples under GPS are buffered until the next fix gives their lines their times. The index
// follows the records alone, without the buffer: a sample record and a fix record of such a
// section take the time of the last fix the log gave, and before the first fix none (not the
// decoder's start values, 12:00:00), also when the reader converted a log before, whose
// buffered samples it still holds.
TEST(RecordTime, APelmorSampleFollowedWithoutItsBufferIsAtTheLastFix) {
  testing::ScratchDir dir;
  auto fix = [](int second) {
    testing::PelmorFix f;
    f.hour = 10;
    f.minute = 20;
    f.second = second;
    return f;
  };
  testing::PelmorPlan plan;
  testing::PelmorLogBuilder log(false);
  log.Configuration(1, plan, plan)
      .SingleSetup(68001, 68002)
      .Samples(1, {-60})
      .Fix(fix(30))
      .Samples(1, {-61})
      .Samples(1, {-62})
      .Fix(fix(40))
      .Samples(1, {-63})
      .Fix(fix(50));
  const std::string path = dir.File("drive.pvf");
  log.WriteTo(path);
  ConverterRegistry converters;
  ProductConverter* c = converters.ForCode(IdentifyProduct(path));
  ASSERT_NE(c, nullptr);
  auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
  const long t = 10 * 3600 + 20 * 60;
  const std::vector<long> expected = {-1,     -1,     -1,     -1,     t + 30,
                                      t + 30, t + 30, t + 40, t + 40, t + 50};
  for (const bool convertedBefore : {false, true}) {
    SCOPED_TRACE(convertedBefore);
    if (convertedBefore) {
      // A conversion leaves its interpolated samples in the reader.
      ConversionSettings settings;
      settings.InputFormat = c->ProductCodeValue();
      EXPECT_FALSE(testing::Convert(*c, path, testing::Fields({18, 0}), settings).empty());
    }
    ASSERT_EQ(c->OpenInput(path), 0);
    c->SetConverting(false);
    std::vector<long> times;  // -1: none
    RecordPass().Run(*c, buffer.get(), RunState{}, log.Data().size(), [&](std::int16_t) {
      std::uint32_t seconds = 0;
      times.push_back(c->RecordTime(seconds) ? static_cast<long>(seconds) : -1);
    });
    c->CloseInput();
    EXPECT_EQ(times, expected);
  }
}

}  // namespace
}  // namespace polvane
