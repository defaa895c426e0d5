#include "products/kes/kes_dump_converter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form_controls.h"
#include "convert/tree_node.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_dump_log.h"
#include "support/paging_encoder.h"
#include "support/section_states.h"

namespace polvane {
namespace {

using namespace testing;
using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Pair;

class KesDump : public ::testing::Test {
 protected:
  KesDump() : c(std::make_unique<KesDumpConverter>()) {}

  std::string Write(const KesDumpLogBuilder& log) {
    const std::string path = dir.File("log" + std::to_string(files++) + ".kes");
    log.WriteTo(path);
    return path;
  }
  std::vector<std::string> Convert(const KesDumpLogBuilder& log, const Selection& selection,
                                   ConversionSettings settings = {}) {
    return Lines(testing::Convert(*c, form, Write(log), selection, settings));
  }
  // The ReadRecord results and ParseRecord actions of a conversion pass.
  std::vector<std::pair<int, int>> Steps(const KesDumpLogBuilder& log) {
    std::vector<std::pair<int, int>> steps;
    c->SetSettings(FormSettings(form));
    if (c->OpenInput(Write(log)) != 0) return steps;
    c->SetConverting(true);
    auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
    for (int n; (n = c->ReadRecord(buffer.get())) != 0;)
      steps.emplace_back(n, c->ParseRecord(buffer.get()));
    c->SetConverting(false);
    c->CloseInput();
    return steps;
  }
  void NoTitles() { form.FieldTitles.SetChecked(false); }

  ScratchDir dir;
  FormControls form;
  std::unique_ptr<KesDumpConverter> c;
  int files = 0;
};

KesDumpRecord Record(std::vector<KesDumpChannel> channels, int type = 3) {
  KesDumpRecord r;
  r.type = type;
  r.channels = std::move(channels);
  return r;
}

KesDumpSetup Plan(std::int16_t first = 1, std::int16_t last = 800) {
  KesDumpSetup s;
  s.firstCode = first;
  s.lastCode = last;
  return s;
}

// --- Framing ---

TEST_F(KesDump, TheFileHeaderFrameWritesNothing) {
  KesDumpLogBuilder log;
  EXPECT_THAT(Steps(log), ElementsAre(std::pair{18, 0}));  // L = 17, result L + 1
  EXPECT_EQ(testing::Convert(*c, form, Write(log), Fields({0, 32})), "");
}

TEST_F(KesDump, BytesBetweenFramesAreSkippedOneAtATime) {
  KesDumpLogBuilder log;
  log.Garbage(Bytes().U8(0x00).U8(0x55).U8(0xAB)).Setup(Plan());
  EXPECT_THAT(Steps(log),
              ElementsAre(_, std::pair{1, 0}, std::pair{1, 0}, std::pair{1, 0}, std::pair{22, 0}));
}

TEST_F(KesDump, ImpossibleLengthsSkipTheSyncAndLengthAndHuntOn) {
  NoTitles();
  const Bytes record = KesDumpLogBuilder::DataRecord(Record({{5, 80}}));
  KesDumpLogBuilder log;
  log.Setup(Plan());
  log.Frame(record, 4196).Frame(record, 0).Frame(Bytes(), 1).Data(Record({{5, 81}}));
  const auto steps = Steps(log);
  ASSERT_GE(steps.size(), 5u);
  EXPECT_EQ(steps[2], (std::pair{3, 0}));
  // The bytes of the record after the rejected length are hunted through: none is 0xAA.
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("870.1500,-81"));
}

TEST_F(KesDump, TheEndOfTheFileInsideAFrameEndsTheOutput) {
  NoTitles();
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(Record({{5, 80}})).Data(Record({{5, 81}})).Truncate(1);
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("870.1500,-80"));
}

TEST_F(KesDump, RecordsOfUnlistedTypesAreIgnored) {
  NoTitles();
  KesDumpLogBuilder log;
  log.Setup(Plan());
  for (int type : {0, 8, 16, 19, 21, 33, 35, 200})
    log.Data(Record({{5, static_cast<std::uint8_t>(type)}}, type));
  log.Data(Record({{5, 90}}, 20));
  EXPECT_THAT(Convert(log, Fields({0, 30})), ElementsAre("870.1500,-90,20C"));
}

// --- Sections ---

TEST_F(KesDump, ASectionBeginsWhenTheKindOfDataRecordChanges) {
  KesDumpLogBuilder log;
  KesDumpRecord a = Record({{5, 80}}, 1), b = Record({{5, 80}}, 2);
  a.clock = {9, 10, 11};
  log.Setup(Plan()).Data(a).Gps({}).Data(a).Data(b);
  EXPECT_THAT(Steps(log), ElementsAre(_, _, Pair(_, 4), _, Pair(_, 1), Pair(_, 4)));
  EXPECT_THAT(IndexSections(*c, form, Write(log)),
              ElementsAre(IndexedSection{1, 4, "09:10:11"}, IndexedSection{2, 5, "12:00:00"}));
}

TEST_F(KesDump, TitlesComeAgainAtEverySectionAndADeselectedOneIsDropped) {
  form.FrequencyField.SetChecked(false);
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(Record({{5, 80}}, 1)).Data(Record({{5, 81}, {6, 82}}, 2));
  log.Data(Record({{5, 83}}, 5)).Data(Record({{5, 84}}, 9));
  c->Sections().SetTable(SectionStates({true, true, false}));
  EXPECT_THAT(Convert(log, Fields({0, 32})),
              ElementsAre("\"RSSI #1\",\"Record Number\"", "-80,1",
                          "\"RSSI #1\",\"RSSI #2\",\"Record Number\"", "-81,-82,2",
                          "\"RSSI #1\",\"Record Number\"", "-84,3"));
  c->Sections().ClearTable();
}

// --- Frequency plan and channel numbers ---

TEST_F(KesDump, NewerFirmwareTakesThePlanOfTheLastSetupRecordAlsoAcrossFiles) {
  NoTitles();
  KesDumpLogBuilder first;
  first.Data(Record({{5, 80}}));  // no setup record since the program started
  EXPECT_THAT(Convert(first, Fields({0})), ElementsAre("0.0000,-80"));

  KesDumpLogBuilder second;
  KesDumpSetup plan = Plan(2, 10);
  plan.baseMhz = 851;
  plan.fraction = 125;
  plan.spacing = 250;  // 25 kHz
  second.Setup(plan).Data(Record({{4, 80}, {1, 81}, {10, 82}, {11, 83}}));
  EXPECT_THAT(Convert(second, Fields({0})),
              ElementsAre("851.0625,-80,0.0000,-81,851.2125,-82,0.0000,-83"));

  KesDumpLogBuilder third;
  third.Data(Record({{4, 84}}));
  IndexSections(*c, form,
                Write(KesDumpLogBuilder().Setup(Plan(1, 2))));  // indexing reads plans too
  EXPECT_THAT(Convert(third, Fields({0})), ElementsAre("0.0000,-84"));
}

TEST_F(KesDump, OlderFirmwareCarriesPlanPositionAndGpsTimeInEachRecord) {
  NoTitles();
  KesDumpRecord r = Record({{3, 80}});
  r.firmware = 102;
  r.firstCode = 1;
  r.lastCode = 5;
  r.baseMhz = 151;
  r.fraction = 0;
  r.spacing = 125;  // 12.5 kHz
  r.latitude = -(33 + 52.25 / 60);
  r.longitude = 151 + 12.5 / 60;
  r.gps = {7, 8, 9};
  r.gpsLocked = false;
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(r);
  EXPECT_THAT(Convert(log, Fields({0, 5, 10, 11, 16, 18, 17})),
              ElementsAre("151.0250,-80,-33.870833,S,151.208333,E,07:08:09,UNLOCKED"));
}

TEST_F(KesDump, ChannelNumbersFollowTheWholeFlagValue) {
  form.FrequencyField.SetChecked(false);
  form.ChannelField.SetChecked(true);
  form.RSSIField.SetChecked(false);
  NoTitles();
  KesDumpLogBuilder log;
  for (auto [flags, firmware] : {std::pair{0x80, 100}, {0x80, 101}, {0x10, 105}, {0x90, 105}}) {
    KesDumpSetup plan = Plan();
    plan.flags = static_cast<std::uint8_t>(flags);
    plan.firmware = static_cast<std::uint16_t>(firmware);
    KesDumpRecord r = Record({{35, 1}, {34, 1}, {0, 1}, {400, 1}});
    r.firmware = static_cast<std::uint16_t>(firmware);
    r.type = firmware == 100 ? 4 : 3;  // the older layout takes its flags from the record
    r.flags = static_cast<std::uint8_t>(flags);
    r.firstCode = 1;
    r.lastCode = 800;
    log.Setup(plan).Data(r);
  }
  EXPECT_THAT(Convert(log, Fields({0})),
              ElementsAre("1,1023,989,366", "2,1,990,367", "1,1023,989,366", "35,34,0,400"));
}

TEST_F(KesDump, CellularRecordsCarryTriplesAfterTheEntries) {
  form.FrequencyField.SetChecked(false);
  form.SATField.SetChecked(true);
  form.VMACField.SetChecked(true);
  NoTitles();
  KesDumpRecord r = Record({{335, 70, 1, 5}, {336, 71, 2, 6}});
  r.flags = 0x80;
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(r);
  EXPECT_THAT(Convert(log, Fields({0})), ElementsAre("-70,1,5,-71,2,6"));
}

TEST_F(KesDump, MoreChannelsThanStorageAreCut) {
  form.FrequencyField.SetChecked(false);
  form.SATField.SetChecked(true);
  NoTitles();
  KesDumpRecord r;
  for (int i = 0; i < 120; ++i)
    r.channels.push_back({static_cast<std::uint16_t>(i + 1), static_cast<std::uint8_t>(i),
                          static_cast<std::uint8_t>(i + 100), 0});
  r.flags = 0x80;
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(r);
  const auto lines = Convert(log, Fields({0}));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], ::testing::StartsWith("-0,100,-1,101,"));
  EXPECT_THAT(lines[0], ::testing::EndsWith(",-85,185"));
}

// --- Paging ---

TEST_F(KesDump, PagingRecordsDecodeTheirCaptureAndShowThePagerChannel) {
  NoTitles();
  form.ChannelField.SetChecked(true);
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(16, "CALL HOME"));
  PocsagHead head;
  head.channel = 11;
  head.rssi = 64;
  head.baud = 2400;
  KesDumpRecord pocsag;
  pocsag.type = 7;
  pocsag.declaredCount = 1;
  pocsag.paging = stream.Capture(0, head);
  KesDumpRecord flex;
  flex.type = 15;
  flex.declaredCount = 1;
  flex.paging =
      FlexFrameBuilder(4).Head(71, 12, 2).Page(3, FlexNumeric(77, "911")).Build().Capture();
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(pocsag).Data(flex);
  EXPECT_THAT(Convert(log, Fields({1, 2, 3, 41, 30, 0})),
              ElementsAre(",POCSAG AN 0000000016 CALL HOME,0,2400,POC,870.3300,11,-64",
                          "FLEX   NS 0000000077 911 ,,2,6400,FLX,870.3600,12,-71"));
}

// --- Fields ---

TEST_F(KesDump, FieldsComeFromTheRecordAndTheLastGpsRecord) {
  NoTitles();
  KesDumpLogBuilder log;
  KesDumpGps g;
  g.gps = {1, 2, 3};
  g.latitude = 0;
  g.longitude = 10.5;
  g.altitudeCm = 100000;
  g.velocity = 100;
  g.navigation = 0x10;
  KesDumpRecord r = Record({{5, 80}}, 9);
  r.odometerOrY = 1500;
  r.markerOrX = 42;
  r.clock = {13, 14, 15};
  r.day = 1;
  r.month = 2;
  r.year = 3;
  KesDumpRecord xy = r;
  xy.coordinateMode = 2;
  log.Setup(Plan()).Gps(g).Data(r);
  g.navigation = 0x40;
  log.Gps(g).Data(xy);
  const Selection fields = Fields({5, 10, 11, 18, 26, 27, 29, 31, 42, 43, 30, 33, 37, 17, 45});
  EXPECT_THAT(Convert(log, fields),
              ElementsAre("-0.000000,S,10.500000,01:02:03,1000,2.2,42,1500,N/A,N/A,SAB,"
                          "02/01/03,13:14:15,LOCKED,VALID",
                          "-0.000000,S,10.500000,01:02:03,1000,2.2,N/A,N/A,42,1500,SAB,"
                          "02/01/03,13:14:15,LOCKED,INVALID"));
}

TEST_F(KesDump, BestChannelPicksTheStrongestEntry) {
  NoTitles();
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(Record({{1, 90}, {2, 70}, {3, 70}})).Data(Record({{1, 121}, {2, 130}}));
  ConversionSettings s;
  s.ReductionMode = kReduceBestServer;
  EXPECT_THAT(Convert(log, Fields({0}), s), ElementsAre("870.0600,-70", "870.0300,-121"));
  s.ReductionMode = kReducePerSeconds;  // no time averaging for this product
  EXPECT_THAT(Convert(log, Fields({0}), s),
              ElementsAre("870.0300,-90,870.0600,-70,870.0900,-70", "870.0300,-121,870.0600,-130"));
}

}  // namespace
}  // namespace polvane
