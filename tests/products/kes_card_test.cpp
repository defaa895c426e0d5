#include "products/kes/kes_card_converter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form_controls.h"
#include "convert/tree_node.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/paging_encoder.h"
#include "support/section_states.h"

namespace polvane {
namespace {

using namespace testing;
using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

class KesCard : public ::testing::Test {
 protected:
  KesCard() : c(std::make_unique<KesCardConverter>()) {}

  std::string Write(const KesCardLogBuilder& log) {
    const std::string path = dir.File("log" + std::to_string(files++) + ".bin");
    log.WriteTo(path);
    return path;
  }
  std::vector<std::string> Convert(const KesCardLogBuilder& log, const Selection& selection,
                                   ConversionSettings settings = {}) {
    return Lines(testing::Convert(*c, form, Write(log), selection, settings));
  }
  std::vector<std::string> ConvertMode(const KesCardLogBuilder& log, const Selection& selection,
                                       std::int16_t mode) {
    ConversionSettings s;
    s.ReductionMode = mode;
    return Convert(log, selection, s);
  }
  // Only the signal column of the data group, no titles line.
  void SignalOnly() {
    form.FrequencyField.SetChecked(false);
    form.RSSIField.SetChecked(true);
    form.FieldTitles.SetChecked(false);
  }

  ScratchDir dir;
  FormControls form;
  std::unique_ptr<KesCardConverter> c;
  int files = 0;
};

KesScan OneChannelScan(std::vector<std::uint16_t> codes, int type = 3) {
  KesScan s;
  s.type = type;
  s.codes = std::move(codes);
  return s;
}

// --- Framing and the data group ---

TEST_F(KesCard, SweepsOfOneDataRecordRepeatTheFirstSamplesExceptOnAFastFade) {
  SignalOnly();
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1, 2, 3})).Data({10, 20, 30}, {81, 82, 83, 84, 85, 86});
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("-81,-82,-83", "-81,-82,-83"));

  KesCardLogBuilder fade;
  fade.Scan(OneChannelScan({1, 2, 3}, 8)).Data({10, 20, 30}, {81, 82, 83, 84, 85, 86});
  EXPECT_THAT(Convert(fade, Fields({0})), ElementsAre("-81,-82,-83", "-84,-85,-86"));
}

TEST_F(KesCard, OneChannelFastFadeWritesEverySampleInRecordingOrder) {
  SignalOnly();
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({4}, 8)).Data({1, 2, 3}, {70, 71, 72, 73, 74});
  EXPECT_THAT(
      Convert(log, Fields({0, 37})),
      ElementsAre("-70,01:02:03", "-71,01:02:03", "-72,01:02:03", "-73,01:02:03", "-74,01:02:03"));
}

TEST_F(KesCard, EveryScanHeaderAnnouncesTheTitlesOfItsChannels) {
  form.FrequencyField.SetChecked(false);
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1})).Data({}, {80});
  log.Scan(OneChannelScan({1, 2})).Data({}, {81, 82});
  EXPECT_THAT(Convert(log, Fields({32, 0})),
              ElementsAre("\"Record Number\",\"RSSI #1\"", "1,-80",
                          "\"Record Number\",\"RSSI #1\",\"RSSI #2\"", "2,-81,-82"));
}

TEST_F(KesCard, RecordsWithoutAWholeSweepWriteNoLine) {
  SignalOnly();
  KesCardLogBuilder log;
  log.Data({}, {77});                                  // before any scan header: no channels
  log.Scan(OneChannelScan({})).Data({}, {78, 79});     // a scan of no channels
  log.Scan(OneChannelScan({1, 2, 3})).Data({}, {80});  // fewer samples than channels
  log.Data({}, {81, 82, 83});
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("-81,-82,-83"));
}

TEST_F(KesCard, AnUnlistedTypeByteOrACutRecordEndsTheFile) {
  SignalOnly();
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1})).Data({}, {80}).Raw(Bytes().U8(0x55)).Data({}, {81});
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("-80"));

  KesCardLogBuilder cut;
  cut.Scan(OneChannelScan({1})).Data({}, {80}).Data({}, {81}).Truncate(1);
  EXPECT_THAT(Convert(cut, Fields({0})), ElementsAre("-80"));

  KesCardLogBuilder headerOnly;
  headerOnly.Truncate(100);
  EXPECT_THAT(Convert(headerOnly, Fields({0})), ElementsAre());
}

TEST_F(KesCard, CountsAboveStorageAreCutAndTheRecordsAfterThemStillRead) {
  SignalOnly();
  form.ChannelField.SetChecked(true);
  KesScan wide;
  for (int i = 1; i <= 120; ++i) wide.codes.push_back(static_cast<std::uint16_t>(i));
  std::vector<std::uint8_t> samples(240, 60);
  samples[99] = 99;
  samples[100] = 50;  // beyond the 100 samples kept
  KesCardLogBuilder log;
  log.Scan(wide).Data({}, samples);
  log.Flex(FlexFrameBuilder().Build().Capture(1250));  // more than a record buffer holds
  log.Scan(OneChannelScan({7})).Data({}, {88});
  const auto lines = Convert(log, Fields({0}));
  ASSERT_EQ(lines.size(), 2u);  // 100 samples over 100 channels: one sweep
  EXPECT_THAT(lines[0], StartsWith("1,-60,2,-60,"));
  EXPECT_THAT(lines[0], EndsWith(",100,-99"));
  EXPECT_EQ(lines[1], "7,-88");
}

TEST_F(KesCard, CellularScansCarrySatAndVmacColumns) {
  form.FrequencyField.SetChecked(false);
  form.SATField.SetEnabled(true);
  form.VMACField.SetEnabled(true);
  form.SATField.SetChecked(true);
  form.VMACField.SetChecked(true);
  KesScan scan = OneChannelScan({335, 336});
  scan.flags = 0x80;
  KesCardLogBuilder log;
  log.Scan(scan).Data({}, {70, 71}, {{1, 5}, {2, 6}});
  // Levels and codes of one, two and three digits, the byte's extremes among them.
  log.Data({}, {0, 255}, {{9, 10}, {100, 255}});
  log.Scan(OneChannelScan({335})).Data({}, {7});
  EXPECT_THAT(Convert(log, Fields({0})),
              ElementsAre("\"RSSI #1\",\"SAT/DCC #1\",\"VMAC #1\",\"RSSI #2\",\"SAT/DCC #2\","
                          "\"VMAC #2\"",
                          "-70,1,5,-71,2,6", "-0,9,10,-255,100,255", "\"RSSI #1\"", "-7"));
}

// --- Channels and frequencies ---

TEST_F(KesCard, FrequencyFollowsThePlanOfTheScanHeader) {
  form.ChannelField.SetChecked(true);
  form.RSSIField.SetChecked(false);
  form.FieldTitles.SetChecked(false);
  KesScan scan = OneChannelScan({3, 0, 1});  // base 851.0125 MHz, 25 kHz, base code 1
  scan.baseCode = 2;
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({3, 0})).Data({}, {1, 1});
  log.Scan(scan).Data({}, {1, 1, 1});
  EXPECT_THAT(Convert(log, Fields({0})),
              ElementsAre("851.0625,3,0.0000,0", "851.0375,3,0.0000,0,850.9875,1"));
}

TEST_F(KesCard, CellularChannelNumbersDependOnTheFirmware) {
  form.FrequencyField.SetChecked(false);
  form.ChannelField.SetChecked(true);
  form.RSSIField.SetChecked(false);
  form.FieldTitles.SetChecked(false);
  KesCardLogBuilder log;
  auto scan = [&](std::uint8_t flags, std::uint16_t firmware) {
    KesScan s = OneChannelScan({35, 34, 0, 400});
    s.flags = flags;
    s.firmware = firmware;
    log.Scan(s).Data({}, {1, 1, 1, 1});
  };
  scan(0x80, 100);
  scan(0x80, 101);
  scan(0x10, 101);  // offset numbering
  scan(0x90, 101);  // both bits: offset numbering, not a cellular scan
  scan(0x00, 101);
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("1,1023,0,366", "2,1,0,367", "1,1023,0,366",
                                                     "1,1023,0,366", "35,34,0,400"));
}

// --- Sections ---

TEST_F(KesCard, EveryScanHeaderOpensASectionLabelledWithTheClockBeforeIt) {
  KesCardLogBuilder log;
  log.Clock({8, 0, 1}).Scan(OneChannelScan({1})).Data({8, 0, 2}, {80});
  log.Scan(OneChannelScan({1})).Data({8, 0, 3}, {80});
  KesScan sweep = OneChannelScan({1}, 5);
  log.Scan(sweep);
  sweep.firmware = 106;
  log.Scan(sweep);
  KesScan unlisted = OneChannelScan({1}, 17);
  log.Scan(unlisted);
  EXPECT_THAT(IndexSections(*c, form, Write(log)),
              ElementsAre(IndexedSection{1, 6, "08:00:01"}, IndexedSection{2, 6, "08:00:02"},
                          IndexedSection{3, 8, "08:00:03"}, IndexedSection{4, 21, "08:00:03"},
                          IndexedSection{5, 21, "08:00:03"}));
}

TEST_F(KesCard, PagingRecordsOpenASectionOnlyWhenTheKindChanges) {
  const Bytes block = PocsagCapture({});
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1}, 3))
      .Pocsag(block)
      .Pocsag(block)
      .Flex(FlexFrameBuilder().Build().Capture());
  log.Flex(FlexFrameBuilder().Build().Capture()).Pocsag(block);
  const auto sections = IndexSections(*c, form, Write(log));
  std::vector<int> slots;
  for (const auto& s : sections) slots.push_back(s.slot);
  EXPECT_THAT(slots, ElementsAre(6, 10, 18, 10));
}

TEST_F(KesCard, BothPassesCountTheSameSectionsWhateverThePreviousPassEndedWith) {
  const Bytes block = PocsagCapture({});
  KesCardLogBuilder log;
  log.Pocsag(block).Scan(OneChannelScan({1})).Data({}, {80}).Pocsag(block);
  const std::string path = Write(log);
  const auto first = IndexSections(*c, form, path);
  EXPECT_EQ(IndexSections(*c, form, path), first);
  std::vector<int> slots;
  for (const auto& s : first) slots.push_back(s.slot);
  EXPECT_THAT(slots, ElementsAre(10, 6, 10));
}

TEST_F(KesCard, ADeselectedSectionWritesNoLines) {
  SignalOnly();
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1})).Data({}, {80});
  log.Scan(OneChannelScan({1})).Data({}, {81});
  log.Scan(OneChannelScan({1})).Data({}, {82});
  c->Sections().SetTable(SectionStates({true, false}));
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("-80", "-82"));
  c->Sections().ClearTable();
}

// --- Position and GPS ---

TEST_F(KesCard, LongGpsFormGivesSignedPositionAltitudeAndVelocity) {
  KesScan scan = OneChannelScan({1});
  scan.firmware = 103;
  KesGpsFix fix;
  fix.latitude = 0;
  fix.longitude = -(74 + 7.407 / 60);
  fix.altitudeCm = 100000;
  fix.velocity = 1000;
  fix.gps = {23, 59, 58};
  fix.locked = false;
  KesCardLogBuilder log;
  log.Scan(scan).Gps(fix).Data({}, {80});
  EXPECT_THAT(Convert(log, Fields({5, 10, 11, 14, 15, 16, 26, 27, 18, 17}), {}),
              Contains("-0.000000,S,-74.123450,7.407,24,W,1000,22.4,23:59:58,UNLOCKED"));
}

TEST_F(KesCard, ShortGpsFormIsPackedBcdWithStoredHemispheres) {
  KesScan scan = OneChannelScan({1});
  scan.firmware = 102;
  KesGpsFix fix;
  fix.latitude = -(40 + 30.5 / 60);
  fix.longitude = 112 + 1.25 / 60;
  fix.gps = {9, 8, 7};
  KesCardLogBuilder log;
  log.Scan(scan).Gps(fix).Data({}, {80});
  EXPECT_THAT(Convert(log, Fields({5, 6, 7, 8, 10, 11, 16, 19, 20, 21, 17})),
              Contains("-40.508333,40,30,30.500,S,112.020833,E,09,08,07,LOCKED"));
}

TEST_F(KesCard, PositionRecordsCarryMarkerAndOdometerOrCoordinates) {
  const Selection fields = Fields({29, 31, 42, 43, 37, 33, 30});
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1}, 8)).Position({11, 12, 13}, 1500, 42).Data({11, 12, 14}, {80});
  KesScan xy = OneChannelScan({1}, 15);
  xy.coordinateMode = 1;
  xy.day = 2;
  xy.month = 3;
  xy.year = 4;
  log.Scan(xy).Data({}, {80});
  EXPECT_THAT(Convert(log, fields), ElementsAre(_, "42,1500,N/A,N/A,11:12:14,06/15/24,FF ", _,
                                                "N/A,N/A,42,1500,00:00:00,03/02/04,UKN"));
}

// --- Paging ---

TEST_F(KesCard, PocsagDataShowsTheFirstMessageCutTo73Characters) {
  form.FieldTitles.SetChecked(false);
  const std::string digits = "1234567890123456789012345678901234567890123456789012345";
  PocsagStream stream;
  stream.Page(PocsagNumeric(8, digits)).Page(PocsagTone(14)).Page(PocsagTone(22));
  PocsagHead head;
  head.rssi = 66;
  head.baud = 512;
  head.errors = 4;
  head.channel = 9;
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1}, 7)).Pocsag(stream.Capture(0, head)).Data({}, {0});
  const auto lines = Convert(log, Fields({2, 3, 41, 0}));
  ASSERT_EQ(lines.size(), 1u);
  const std::string first = "POCSAG NU 0000000008 " + digits.substr(0, 52);
  ASSERT_EQ(first.size(), 73u);
  EXPECT_EQ(lines[0], first + ",4,512,851.2125,-66");
}

TEST_F(KesCard, APocsagMessageCutByTheBatchEndContinuesInTheNextCapture) {
  form.FieldTitles.SetChecked(false);
  form.RSSIField.SetChecked(false);
  form.FrequencyField.SetChecked(false);
  const std::string text = "PLEASE CALL THE DISPATCH OFFICE AT NOON TODAY";  // 45 characters
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(8, text));
  ASSERT_EQ(stream.Batches(), 2);
  PocsagHead empty;
  empty.count = 10;  // no batch: the open message waits
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1}, 7)).Pocsag(stream.Capture(0)).Data({}, {0});
  log.Pocsag(PocsagCapture({}, empty)).Data({}, {0});
  log.Pocsag(stream.Capture(1)).Data({}, {0});
  EXPECT_THAT(Convert(log, Fields({2})), ElementsAre("POCSAG AN 0000000008 " + text.substr(0, 42),
                                                     "POCSAG AN 0000000008 " + text));
}

TEST_F(KesCard, FlexDataJoinsTheMessagesOfEveryPhase) {
  form.FieldTitles.SetChecked(false);
  FlexFrame frame = FlexFrameBuilder(2)
                        .Head(77, 9, 3)
                        .Page(0, FlexAlphanumeric(1001, "HELLO"))
                        .Page(1, FlexNumeric(1002, "123"))
                        .Build();
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1}, 15)).Flex(frame.Capture()).Data({}, {0});
  // The speed code 0 keeps the two phases of the previous frame; an empty frame yields no
  // message but still brings its channel, level and error count.
  log.Flex(FlexFrameBuilder(2).SpeedCode(0).Head(70, 1, 5).Build().Capture(0)).Data({}, {0});
  EXPECT_THAT(
      Convert(log, Fields({1, 3, 41, 0, 30})),
      ElementsAre("FLEX   AN 0000001001 HELLO", "FLEX   NS 0000001002 123 ,3,3200,851.2125,-77,UKN",
                  ",5,3200,851.0125,-70,UKN"));
}

TEST_F(KesCard, PagingMessagesShowOnlyUnderTheirOwnKind) {
  form.FieldTitles.SetChecked(false);
  PocsagStream stream;
  stream.Page(PocsagNumeric(8, "42"));
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1}, 7)).Pocsag(stream.Capture(0)).Data({}, {0});
  log.Scan(OneChannelScan({1}, 3)).Data({}, {0});  // the scan header leaves the POCSAG kind
  EXPECT_THAT(Convert(log, Fields({2, 1, 30})),
              ElementsAre("POCSAG NU 0000000008 42   ,,POC", ",,1CH"));
}

// --- Data reduction ---

TEST_F(KesCard, BestChannelIsTheStrongestAboveMinus121WithTiesToTheLowerChannel) {
  form.FieldTitles.SetChecked(false);
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1, 2, 3})).Data({}, {90, 70, 70}).Data({}, {121, 125, 130});
  EXPECT_THAT(ConvertMode(log, Fields({0}), kReduceBestServer),
              ElementsAre("851.0375,-70", "851.0125,-121"));
}

TEST_F(KesCard, OneRecordPerDistanceWritesAsConvertAll) {
  SignalOnly();
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({1, 2})).Data({}, {80, 81, 82, 83});
  EXPECT_EQ(ConvertMode(log, Fields({0}), kReducePerMeters), Convert(log, Fields({0})));
}

TEST_F(KesCard, TimeAveragingWritesTheRoundedMeanOncePerNGpsRecords) {
  SignalOnly();
  form.ChannelField.SetChecked(true);
  form.ORPS_Value.SetText("2");
  KesCardLogBuilder log;
  log.Scan(OneChannelScan({5, 6}));
  log.Data({}, {80, 70}).Gps({}).Data({}, {81, 71}).Data({}, {81, 72}).Gps({});  // 80.67, 71
  log.Gps({}).Gps({});                                // nothing arrived: the same values again
  log.Data({}, {90, 60}).Data({}, {91, 60}).Gps({});  // 90.5 rounds to even
  log.Gps({});
  EXPECT_THAT(ConvertMode(log, Fields({0}), kReducePerSeconds),
              ElementsAre("5,-81,6,-71", "5,-81,6,-71", "5,-90,6,-60"));

  // A text that is no number reads as 0: every GPS record writes a line.
  form.ChannelField.SetChecked(false);
  form.ORPS_Value.SetText("every");
  KesCardLogBuilder each;
  each.Scan(OneChannelScan({5})).Data({}, {80}).Gps({}).Gps({});
  EXPECT_THAT(ConvertMode(each, Fields({0}), kReducePerSeconds), ElementsAre("-80", "-80"));
}

TEST_F(KesCard, IndexingLeavesTheTimeAverageAlone) {
  SignalOnly();
  form.ORPS_Value.SetText("1");
  ConversionSettings s;
  s.ReductionMode = kReducePerSeconds;
  KesCardLogBuilder first;
  first.Scan(OneChannelScan({5})).Data({}, {80}).Gps({});
  EXPECT_THAT(Lines(testing::Convert(*c, form, Write(first), Fields({0}), s)), ElementsAre("-80"));
  // The next file is indexed while the converter still holds mode 4: the sample 50 after its
  // last GPS record must not join the first average of its conversion.
  KesCardLogBuilder next;
  next.Scan(OneChannelScan({5})).Data({}, {70}).Gps({}).Data({}, {50});
  const std::string path = Write(next);
  IndexSections(*c, form, path);
  EXPECT_THAT(Lines(testing::Convert(*c, form, path, Fields({0}), s)), ElementsAre("-70"));
}

}  // namespace
}  // namespace polvane
