#include "products/drovel/drovel_converter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/form_controls.h"
#include "convert/identify.h"
#include "convert/input_file.h"
#include "convert/tree_node.h"
#include "support/conversion.h"
#include "support/drovel_log.h"
#include "support/section_states.h"

namespace polvane {
namespace {

using namespace testing;

class DrovelTest : public ::testing::Test {
 protected:
  DrovelTest() { form.ChannelField.SetChecked(true); }

  std::string Write(const DrovelLogBuilder& log) {
    const std::string path = dir.File("log" + std::to_string(files++) + ".dvf");
    log.WriteTo(path);
    return path;
  }
  std::vector<std::string> ConvertLines(const DrovelLogBuilder& log, const Selection& fields,
                                        ConversionSettings settings = {}) {
    return Lines(Convert(c, form, Write(log), fields, settings));
  }

  ScratchDir dir;
  int files = 0;
  FormControls form;
  DrovelConverter c;
};

DrovelData Record(int second, std::uint8_t flags, std::array<DrovelReading, 3> readings = {}) {
  DrovelData d;
  d.hour = 10, d.minute = 0, d.second = second;
  d.flags = flags;
  d.readings = readings;
  return d;
}

TEST_F(DrovelTest, IdentifiedByTheProductNameOfItsFirstRecord) {
  DrovelLogBuilder log;
  log.Identification("QVX DROVEL", "1.3").Setup({});
  EXPECT_EQ(IdentifyProduct(Write(log)), kProductDrovel);
}

TEST_F(DrovelTest, KindByFlagPriorityAndScanModeByMaskedFlags) {
  DrovelLogBuilder log;
  log.Identification("QVX DROVEL", "1.3").Setup({});
  const std::uint8_t flags[] = {0x00, 0x10, 0x30, 0x20, 0x60, 0x00, 0x50, 0x40};
  for (int i = 0; i < 8; ++i) log.Data(Record(i, flags[i]));
  const std::string path = Write(log);
  // Records of no kind at the start belong to no section; after a known kind they start one.
  EXPECT_EQ(IndexSections(c, form, path),
            (std::vector<IndexedSection>{{1, drovel::kSlotOneChannel, "10:00:01"},
                                         {2, drovel::kSlotThreeChannel, "10:00:03"},
                                         {3, -1, "10:00:05"},
                                         {4, drovel::kSlotOneChannel, "10:00:06"},
                                         {5, drovel::kSlotScan, "10:00:07"}}));
  // 0x30 is one-channel data, but its "Scan Mode" is none of the three texts.
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({44, 37}))),
            (std::vector<std::string>{"\"Scan Mode\",\"RTC Time (HH:MM:SS)\"", ",10:00:00",
                                      "1CH,10:00:01", ",10:00:02", "3CH,10:00:03", ",10:00:04",
                                      ",10:00:05", ",10:00:06", "SCAN,10:00:07"}));
}

TEST_F(DrovelTest, ReadingsOfOneAndThreeChannelRecords) {
  DrovelLogBuilder log;
  log.Setup({450, 1250, 125, 1});  // 450.1250 MHz at channel 1, 12.5 kHz apart
  log.Data(Record(0, kDrovelOneChannel, {{{9, 70}, {17, 75}, {5, 80}}}));
  log.Data(Record(1, kDrovelThreeChannel, {{{9, 70}, {17, 75}, {5, 80}}}));
  log.Data(Record(2, kDrovelScan, {{{100, 61}, {0, 0}, {101, 62}}}));
  log.Data(Record(3, 0x00, {{{9, 70}}}));
  const auto lines = ConvertLines(log, Fields({0, 38}));
  // The titles are due before the first record, when no kind is known yet: one triple.
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "\"Frequency\",\"Channel\",\"RSSI\",\"RTC Hour (HH)\"",
                       "450.2250,9,-70,10",
                       "450.2250,9,-70,450.3250,17,-75,450.1750,5,-80,10",
                       "451.3625,100,-61,450.1125,0,-0,451.3750,101,-62,10",
                       ",10",
                   }));
}

TEST_F(DrovelTest, ChannelsAreSignedInThePlanAndUnsignedInTheText) {
  DrovelLogBuilder log;
  log.Setup({100, 0, 10000, 0});  // 1 MHz per channel from 100 MHz at channel 0
  log.Data(Record(0, kDrovelOneChannel, {{{0xFFFF, 90}}}));
  EXPECT_EQ(ConvertLines(log, Fields({0}))[1], "99.0000,65535,-90");
}

TEST_F(DrovelTest, ChannelPlanCarriesOverToTheNextFile) {
  DrovelLogBuilder before;
  before.Data(Record(0, kDrovelOneChannel, {{{9, 70}}}));
  // No set-up record seen yet: a zero plan.
  EXPECT_EQ(ConvertLines(before, Fields({0}))[1], "0.0000,9,-70");

  DrovelLogBuilder first;
  first.Setup({450, 1250, 125, 1}).Data(Record(0, kDrovelOneChannel, {{{9, 70}}}));
  EXPECT_EQ(ConvertLines(first, Fields({0}))[1], "450.2250,9,-70");
  DrovelLogBuilder second;
  second.Data(Record(0, kDrovelOneChannel, {{{17, 71}}}));
  EXPECT_EQ(ConvertLines(second, Fields({0}))[1], "450.3250,17,-71");
}

TEST_F(DrovelTest, BestServerTakesTheSmallestMagnitudeOnALiveChannel) {
  ConversionSettings best;
  best.ReductionMode = kReduceBestServer;
  DrovelLogBuilder log;
  log.Setup({450, 1250, 125, 1});
  log.Data(Record(0, kDrovelThreeChannel, {{{100, 90}, {0, 50}, {102, 70}}}));
  log.Data(Record(1, kDrovelThreeChannel, {{{100, 121}, {101, 130}, {102, 125}}}));
  // A one-channel record has only its first reading to choose from.
  log.Data(Record(2, kDrovelOneChannel, {{{9, 90}, {17, 50}, {5, 40}}}));
  EXPECT_EQ(ConvertLines(log, Fields({0}), best),
            (std::vector<std::string>{"\"Frequency\",\"Channel\",\"RSSI\"", "451.3875,102,-70",
                                      "451.3625,100,-121", "450.2250,9,-90"}));
}

TEST_F(DrovelTest, AlternatingKindsGiveOneSectionPerRun) {
  DrovelLogBuilder log;
  log.Setup({});
  log.Data(Record(0, kDrovelOneChannel)).Data(Record(1, kDrovelOneChannel));
  log.Data(Record(2, kDrovelThreeChannel)).Data(Record(3, kDrovelThreeChannel));
  log.Data(Record(4, kDrovelOneChannel));
  const std::string path = Write(log);
  EXPECT_EQ(IndexSections(c, form, path),
            (std::vector<IndexedSection>{{1, drovel::kSlotOneChannel, "10:00:00"},
                                         {2, drovel::kSlotThreeChannel, "10:00:02"},
                                         {3, drovel::kSlotOneChannel, "10:00:04"}}));
  c.Sections().SetTable(SectionStates({true, false, true}));
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({40}))),
            (std::vector<std::string>{"\"RTC Second (SS)\"", "00", "01", "04"}));
  c.Sections().ClearTable();
}

TEST_F(DrovelTest, FieldTable) {
  DrovelData d = Record(9, kDrovelOneChannel);
  d.hour = 7, d.minute = 8;
  d.marker = -2;
  DrovelLogBuilder log;
  log.Data(d).Data(d);
  const auto lines = ConvertLines(log, Fields({29, 37, 38, 39, 40, 32}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "-2,07:08:09,07,08,09,1");
  EXPECT_EQ(lines[2], "-2,07:08:09,07,08,09,2");
}

TEST_F(DrovelTest, FramingFaults) {
  DrovelLogBuilder log;
  log.Data(Record(0, kDrovelOneChannel));
  log.Length(0).Data(Record(1, kDrovelOneChannel));
  log.Length(5000).Data(Record(2, kDrovelOneChannel));
  log.Length(-1).Data(Record(3, kDrovelOneChannel));
  const std::string path = Write(log);

  ASSERT_EQ(c.OpenInput(path), 0);
  std::uint8_t buffer[kRecordBufferSize];
  std::vector<int> consumed;
  for (int n; (n = c.ReadRecord(buffer)) != 0;) consumed.push_back(n);
  c.CloseInput();
  // A negative length ends the data.
  EXPECT_EQ(consumed, (std::vector<int>{20, 4, 20, 4, 20}));

  // An empty record does not repeat the record before it.
  EXPECT_EQ(Lines(Convert(c, form, path, Fields({40}))),
            (std::vector<std::string>{"\"RTC Second (SS)\"", "00", "01", "02"}));

  DrovelLogBuilder cut;
  cut.Data(Record(0, kDrovelOneChannel)).Record(DrovelLogBuilder::DataBody(Record(1, 0x10)));
  std::vector<std::uint8_t> bytes = cut.Log();
  bytes.resize(bytes.size() - 3);
  const std::string cutPath = dir.File("cut.dvf");
  WriteFile(cutPath, bytes);
  EXPECT_EQ(Lines(Convert(c, form, cutPath, Fields({40}))),
            (std::vector<std::string>{"\"RTC Second (SS)\"", "00"}));
}

// The read-ahead buffer's refills fall inside records (records of another length between the
// data records move them along): each data record is read whole all the same.
TEST_F(DrovelTest, RecordsAcrossTheReadAheadBufferAreReadWhole) {
  DrovelLogBuilder log;
  log.Setup({});
  const int records = 3 * static_cast<int>(InputFile::kBufferSize) / 20;
  Bytes odd;
  odd.U8('X').U8(0).U8(0);  // a record of no known type, three bytes long
  for (int i = 0; i < records; ++i) {
    if (i % 7 == 3) log.Record(odd);
    log.Data(Record(i % 60, kDrovelOneChannel));
  }
  const std::string path = Write(log);
  ASSERT_EQ(c.OpenInput(path), 0);
  std::uint8_t buffer[kRecordBufferSize];
  std::uint64_t read = 0;
  int data = 0;
  for (int n; (n = c.ReadRecord(buffer)) != 0;) {
    read += static_cast<std::uint64_t>(n);
    if (n == 20) {
      EXPECT_EQ(buffer[0], 'D');
      EXPECT_EQ(buffer[3], data % 60) << "data record " << data;
      ++data;
    }
  }
  c.CloseInput();
  EXPECT_EQ(read, log.Log().size());
  EXPECT_EQ(data, records);
  const auto lines = ConvertLines(log, Fields({40}));
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(records) + 1);
  for (int i = 0; i < records; ++i) {
    char second[3] = {static_cast<char>('0' + i % 60 / 10), static_cast<char>('0' + i % 10), 0};
    if (lines[static_cast<std::size_t>(i) + 1] != second) {
      ADD_FAILURE() << "line " << i << ": " << lines[static_cast<std::size_t>(i) + 1];
      break;
    }
  }
}

TEST_F(DrovelTest, RandomRecordsOfEveryLengthConvertWithoutHarm) {
  std::mt19937 random(11);
  DrovelLogBuilder log;
  const char types[] = {'D', 'U', 'I', 'X'};
  for (int i = 0; i < 200; ++i) {
    Bytes body;
    body.U8(static_cast<std::uint8_t>(types[random() % 4]));
    const int length = 1 + static_cast<int>(random() % (i % 10 == 0 ? 4096 : 20));
    for (int k = 1; k < length; ++k) body.U8(static_cast<std::uint8_t>(random()));
    log.Record(body);
  }
  const std::string path = Write(log);
  ConversionSettings best;
  best.ReductionMode = kReduceBestServer;
  for (const ConversionSettings& settings : {ConversionSettings{}, best}) {
    const auto lines = Lines(Convert(c, form, path, Fields({0, 29, 37, 44, 32}), settings));
    EXPECT_GT(lines.size(), 1u);
  }
  EXPECT_FALSE(IndexSections(c, form, path).empty());
}

}  // namespace
}  // namespace polvane
