#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "convert/identify.h"
#include "convert/input_file.h"
#include "convert/tree_node.h"
#include "index/make_index.h"
#include "products/pelmor/pelmor_converter.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/pelmor_log.h"
#include "support/section_states.h"
#include "support/test_host.h"

namespace polvane::testing {
namespace {

using Strings = std::vector<std::string>;

// A 30 kHz plan whose first frequency, 870.030 MHz, is channel 1.
PelmorPlan Plan30(bool wrapped = false) {
  PelmorPlan p;
  p.first = 29001;
  p.last = 29833;
  p.stepKhz = 30;
  p.wrapped = wrapped;
  return p;
}

constexpr std::uint32_t kChannel(int n) {
  return 29001 + static_cast<std::uint32_t>(n) - 1;
}

PelmorFix FixAt(int hour, int minute, int second, double lat = 45.5, double lon = -73.25) {
  PelmorFix f;
  f.hour = hour;
  f.minute = minute;
  f.second = second;
  f.latitude = lat;
  f.longitude = lon;
  return f;
}

std::array<std::uint32_t, 10> Channels(int first) {
  std::array<std::uint32_t, 10> list{};
  for (int j = 0; j < 10; ++j) list[j] = kChannel(first + j);
  return list;
}

class PelmorTest : public ::testing::Test {
 protected:
  PelmorTest() {
    form.Receiver2.SetChecked(true);
    form.FieldTitles.SetChecked(false);
  }

  // A log with both receivers active on the 30 kHz plan.
  static PelmorLogBuilder Log(bool card = false) {
    PelmorLogBuilder log(card);
    log.Configuration(3, Plan30(), Plan30());
    return log;
  }

  std::string Path(const std::string& name = "log.pvf") const { return dir.File(name); }

  Strings Run(const PelmorLogBuilder& log, const Selection& selection, ConversionSettings s = {}) {
    log.WriteTo(Path());
    return Lines(Convert(c, form, Path(), selection, s));
  }
  std::string RunText(const PelmorLogBuilder& log, const Selection& selection,
                      ConversionSettings s = {}) {
    log.WriteTo(Path());
    return Convert(c, form, Path(), selection, s);
  }
  std::vector<IndexedSection> Index(const PelmorLogBuilder& log) {
    log.WriteTo(Path());
    return IndexSections(c, form, Path());
  }

  ScratchDir dir;
  FormControls form;
  PelmorConverter c;
};

// --- File header and framing -----------------------------------------------------------------

TEST_F(PelmorTest, ProductProbeFindsBothHeaderVariants) {
  Log(false).WriteTo(Path("a.pvf"));
  Log(true).WriteTo(Path("b.pvf"));
  EXPECT_EQ(IdentifyProduct(Path("a.pvf")), kProductPelmor);
  EXPECT_EQ(IdentifyProduct(Path("b.pvf")), kProductPelmorCard);
}

TEST_F(PelmorTest, DataEndCountsBlocksAndRemainderInBothHeaders) {
  for (bool card : {false, true}) {
    PelmorLogBuilder log = Log(card);
    for (int i = 0; i < 10; ++i) log.Fix(FixAt(10, 0, i));  // past one 512-byte block
    log.WriteTo(Path());
    ASSERT_EQ(c.OpenInput(Path()), 0);
    EXPECT_EQ(c.FileCode(), card ? kProductPelmorCard : kProductPelmor);
    EXPECT_EQ(c.DataEnd(), log.Data().size()) << card;
    c.CloseInput();
  }
}

TEST_F(PelmorTest, InputFormatOfTheWindowChoosesTheHeader) {
  Log(false).WriteTo(Path());
  form.InputFormatGroup.SetItemIndex(kProductPelmorCard);
  c.SetSettings(FormSettings(form));
  ASSERT_EQ(c.OpenInput(Path()), 0);
  EXPECT_EQ(c.FileCode(), kProductPelmorCard);
  c.CloseInput();
}

// A clock, a list set-up and three list records: three lines when every record is delivered.
PelmorLogBuilder ListLog(bool card = false) {
  PelmorLogBuilder log(card);
  log.Configuration(1, Plan30(), Plan30());
  log.Clock({}).ListSetup(Channels(1), Channels(1));
  for (int i = 0; i < 3; ++i) log.ListData({{0, 0, -60 - i}});
  return log;
}

TEST_F(PelmorTest, LastRecordEndingAtDataEndIsDelivered) {
  form.RSSIField.SetChecked(false);
  form.FrequencyField.SetChecked(false);
  const Selection sel = Fields({32});
  EXPECT_EQ(Run(ListLog(), sel), (Strings{"1", "2", "3"}));
  EXPECT_EQ(Run(ListLog(true), sel), (Strings{"1", "2", "3"}));
}

TEST_F(PelmorTest, HeaderWithoutLengthReadsToTheEndOfTheFile) {
  PelmorLogBuilder log = ListLog();
  log.DataEnd(0);
  EXPECT_EQ(Run(log, Fields({32})), (Strings{"1", "2", "3"}));
}

TEST_F(PelmorTest, RecordRunningPastDataEndOrTheFileIsNotDelivered) {
  PelmorLogBuilder log = ListLog();
  log.DataEnd(log.Data().size() - 1);
  EXPECT_EQ(Run(log, Fields({32})), (Strings{"1", "2"}));
  // A data length beyond a truncated file: the cut record is lost, nothing else.
  PelmorLogBuilder cut = ListLog();
  cut.DataEnd(cut.Data().size());
  cut.Truncate(2);
  EXPECT_EQ(Run(cut, Fields({32})), (Strings{"1", "2"}));
}

// The data length, not the file's size, ends the records: with more bytes in the file after
// it, the record it cuts is not delivered either.
TEST_F(PelmorTest, RecordRunningPastDataEndIsNotDeliveredWithTheFileGoingOn) {
  PelmorLogBuilder log = ListLog();
  log.DataEnd(log.Data().size() - 1);  // one byte short of the last record's end
  log.Garbage(Bytes().Append(std::vector<std::uint8_t>(64, 0x11)));
  EXPECT_EQ(Run(log, Fields({32})), (Strings{"1", "2"}));
}

// Records across the read-ahead buffer's refills (clock records between the list records move
// them along) are read whole: every list record gives its line.
TEST_F(PelmorTest, RecordsAcrossTheReadAheadBufferAreReadWhole) {
  form.FrequencyField.SetChecked(false);
  PelmorLogBuilder log;
  log.Configuration(1, Plan30(), Plan30());
  log.Clock({}).ListSetup(Channels(1), Channels(1));
  const int records = 3 * static_cast<int>(InputFile::kBufferSize) / 19;
  for (int i = 0; i < records; ++i) {
    if (i % 5 == 2) log.Clock({});
    log.ListData({{0, 0, -40 - i % 50}});
  }
  const Strings lines = Run(log, Fields({32, 0}));
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(records));
  for (int i = 0; i < records; ++i) {
    // The record's number and its first entry's level; the list's other channels follow.
    const std::string want = std::to_string(i + 1) + ",-" + std::to_string(40 + i % 50) + ",";
    if (lines[static_cast<std::size_t>(i)].rfind(want, 0) != 0) {
      ADD_FAILURE() << "line " << i << ": " << lines[static_cast<std::size_t>(i)];
      break;
    }
  }
}

TEST_F(PelmorTest, OversizedLengthCountsFourBytesAndReadsOn) {
  PelmorLogBuilder log(false, "QVXPELMOR");
  log.Length(5000);
  log.Clock({});        // the next two bytes after the bad length start a real record here
  log.Record(Bytes{});  // a record of no bytes has no type and decodes as nothing
  log.WriteTo(Path());
  ASSERT_EQ(c.OpenInput(Path()), 0);
  auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
  EXPECT_EQ(c.ReadRecord(buffer.get()), 2 + 11);  // the title record
  EXPECT_EQ(c.ReadRecord(buffer.get()), 4);
  EXPECT_EQ(c.ParseRecord(buffer.get()), kActionNone);
  EXPECT_EQ(c.ReadRecord(buffer.get()), 2 + 8);
  c.ParseRecord(buffer.get());
  EXPECT_TRUE(c.TimeSeen);
  EXPECT_EQ(c.ReadRecord(buffer.get()), 2);
  EXPECT_EQ(c.ParseRecord(buffer.get()), kActionNone);
  EXPECT_EQ(c.ReadRecord(buffer.get()), 0);
  c.CloseInput();
}

TEST_F(PelmorTest, DamagedLogsNeverReadOutsideTheirBuffers) {
  PelmorLogBuilder log = Log();
  log.Fix(FixAt(10, 0, 0)).SingleSetup(kChannel(5), kChannel(6));
  for (int i = 0; i < 20; ++i) log.Samples(1 + i % 2, {-70, -71, -72});
  log.Fix(FixAt(10, 0, 10)).ListSetup(Channels(1), Channels(20));
  log.ListData({{0, 3, -50}, {1, 31, -51}, {1, 200, -52}, {7, 1, -53}});
  log.TableData({{0, 100, -60}, {3, 5, -61}, {1, -300, -62}});
  log.Clock({}).Samples(2, std::vector<int>(40, -90)).TpPositionTime({}).TpMotion(50, 90);
  const std::vector<std::uint8_t> good = log.Data();
  form.ChannelField.SetChecked(true);
  const Selection sel = Fields({0, 5, 8, 18, 29, 33, 46, 49, 50, 52, 53});
  // Every byte in turn replaced by values that make lengths, counts, indexes and receivers
  // large; the sanitizer build turns any stray access into a failure.
  for (std::size_t at = 0; at < good.size(); at += 3) {
    for (std::uint8_t v : {std::uint8_t{0xFF}, std::uint8_t{0x7F}, std::uint8_t{0x10}}) {
      std::vector<std::uint8_t> bad = good;
      bad[at] = v;
      WriteFile(Path(), bad);
      Convert(c, form, Path(), sel);
    }
  }
  SUCCEED();
}

// --- Channel plans -----------------------------------------------------------------------------

TEST(PelmorPlanTest, WrappedNumberingPutsTheLow34StepsAbove990) {
  pelmor::ChannelPlan p;
  p.First = 28968;
  p.StepKhz = 30;
  p.Flags = 1;
  EXPECT_EQ(p.ChannelNumber(28968), 991);        // n = 1
  EXPECT_EQ(p.ChannelNumber(28968 + 33), 1024);  // n = 34
  EXPECT_EQ(p.ChannelNumber(28968 + 34), 1);     // n = 35
  EXPECT_EQ(p.ChannelNumber(28968 - 2000), 0);   // far below the plan: never negative
  // The table-channel rule is the inverse of the numbering.
  for (std::uint32_t v = 28968; v < 28968 + 800; ++v)
    EXPECT_NEAR(p.TableFrequency(p.ChannelNumber(v)), p.Frequency(v), 1e-9) << v;
  p.Flags = 0;
  EXPECT_EQ(p.ChannelNumber(28968 + 34), 35);
  EXPECT_EQ(p.ChannelNumber(100), 0);
  EXPECT_NEAR(p.TableFrequency(35), p.Frequency(28968 + 34), 1e-9);
}

TEST(PelmorPlanTest, ChannelNumberUsesTheLow16BitsOfTheFirstFrequency) {
  pelmor::ChannelPlan p;
  p.First = 0x10000 + 100;
  p.StepKhz = 12.5;
  EXPECT_EQ(p.ChannelNumber(150), 51);
}

TEST_F(PelmorTest, ConfigurationPlansGiveTheBandFields) {
  PelmorPlan plan;  // 850.000 to 855.000 MHz at 12.5 kHz
  PelmorLogBuilder log;
  log.Configuration(1, plan, Plan30()).Clock({}).ListSetup(Channels(1), Channels(1));
  log.ListData({{0, 0, -60}});
  form.Receiver2.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({46, 47, 48})), (Strings{"850.00000,855.00000,12.50"}));
}

// --- GPS fixes ---------------------------------------------------------------------------------

// A list log that gets its time from GPS fixes.
PelmorLogBuilder GpsListLog(const PelmorFix& fix) {
  PelmorLogBuilder log;
  log.Configuration(1, Plan30(), Plan30()).Fix(fix).ListSetup(Channels(1), Channels(1));
  log.ListData({{0, 0, -60}});
  return log;
}

TEST_F(PelmorTest, GpsBlockFields) {
  PelmorFix f = FixAt(9, 8, 7, 45.0 + 30 / 60.0 + 15.5 / 3600, -(73 + 15 / 60.0));
  f.month = 3;
  f.day = 4;
  f.year = 2025;
  f.altitudeCm = 12345;
  f.velocityCmPerS = 1000;  // 22.37 mph
  form.Receiver2.SetChecked(false);
  EXPECT_EQ(Run(GpsListLog(f), Fields({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})),
            (Strings{"45.504306,45,30,30.258333,15,N,-73.250000,73,15,15.000000,0,W"}));
  EXPECT_EQ(Run(GpsListLog(f), Fields({18, 19, 20, 21, 22, 23, 24, 25, 26, 27})),
            (Strings{"09:08:07,09,08,07,03/04/2025,03,04,2025,123,22"}));
}

TEST_F(PelmorTest, GpsStatusNamesComeFromTheTopThreeBits) {
  form.Receiver2.SetChecked(false);
  const char* names[8] = {"Reserved",      "Reserved",       "Bad Geometry", "Acquiring Satellites",
                          "Position Hold", "Propogate Mode", "2D Fix",       "3D Fix"};
  for (int s = 0; s < 8; ++s) {
    PelmorFix f;
    f.status = s;
    EXPECT_EQ(Run(GpsListLog(f), Fields({17})), (Strings{names[s]}));
  }
}

TEST_F(PelmorTest, BeforeTheFirstFixTheDecoderHoldsItsStartValues) {
  form.Receiver2.SetChecked(false);
  EXPECT_EQ(Run(ListLog(), Fields({5, 10, 11, 16, 17, 18, 22})),
            (Strings{"0.000000,S,0.000000,W,Reserved,12:00:00,01/01/2000",
                     "0.000000,S,0.000000,W,Reserved,12:00:00,01/01/2000",
                     "0.000000,S,0.000000,W,Reserved,12:00:00,01/01/2000"}));
}

// --- Single-frequency samples between fixes ----------------------------------------------------

// Fixes at t0 and t1 with n samples of receiver 1 between them (and one sample before t0).
PelmorLogBuilder InterpolationLog(PelmorFix f0, PelmorFix f1, int n) {
  PelmorLogBuilder log;
  log.Configuration(3, Plan30(), Plan30()).SingleSetup(kChannel(7), kChannel(9));
  log.Samples(1, {-99});
  log.Fix(f0);
  for (int i = 0; i < n; ++i) log.Samples(1, {-60 - i});
  log.Fix(f1);
  return log;
}

TEST_F(PelmorTest, SamplesBetweenFixesGetInterpolatedTimesWithCarries) {
  const Selection sel = Fields({18});
  // 10 s apart, four samples: +0, +2, +5, +7 s, carried into the next minute.
  EXPECT_EQ(Run(InterpolationLog(FixAt(10, 20, 55), FixAt(10, 21, 5), 4), sel),
            (Strings{"10:20:55", "10:20:57", "10:21:00", "10:21:02"}));
  // Three samples across the hour: +0, +3, +6 s.
  EXPECT_EQ(Run(InterpolationLog(FixAt(10, 59, 58), FixAt(11, 0, 8), 3), sel),
            (Strings{"10:59:58", "11:00:01", "11:00:04"}));
  // Seven samples in 10 s: trunc(i * 10 / 7).
  EXPECT_EQ(Run(InterpolationLog(FixAt(8, 0, 0), FixAt(8, 0, 10), 7), sel),
            (Strings{"08:00:00", "08:00:01", "08:00:02", "08:00:04", "08:00:05", "08:00:07",
                     "08:00:08"}));
}

TEST_F(PelmorTest, InterpolationAcrossMidnightCountsForward) {
  EXPECT_EQ(Run(InterpolationLog(FixAt(23, 59, 58), FixAt(0, 0, 8), 3), Fields({18})),
            (Strings{"23:59:58", "00:00:01", "00:00:04"}));
}

TEST_F(PelmorTest, SamplesBeforeTheFirstFixAreDropped) {
  // The sample before the first fix (-99) never appears; the four after it do.
  EXPECT_EQ(Run(InterpolationLog(FixAt(8, 0, 0), FixAt(8, 0, 10), 4), Fields({0})),
            (Strings{"870.21000,-60", "870.21000,-61", "870.21000,-62", "870.21000,-63"}));
}

TEST_F(PelmorTest, InterpolatedPositionsAndAbsoluteDegreeFields) {
  PelmorFix f0 = FixAt(8, 0, 0, -33.5, -70.0);
  PelmorFix f1 = FixAt(8, 0, 10, -33.7, -70.4);
  EXPECT_EQ(Run(InterpolationLog(f0, f1, 2), Fields({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})),
            (Strings{"-33.500000,33,30,30.000000,0,S,-70.000000,70,0,0.000000,0",
                     "-33.600000,33,36,36.000000,0,S,-70.200000,70,12,12.000000,0"}));
}

TEST_F(PelmorTest, InterpolatedLinesCarryTheirSampleReceiver) {
  PelmorLogBuilder log = Log();
  log.SingleSetup(kChannel(7), kChannel(9)).Fix(FixAt(8, 0, 0));
  log.Samples(1, {-61}).Samples(2, {-62}).Samples(2, {-63});
  log.Fix(FixAt(8, 0, 3));
  form.ChannelField.SetChecked(true);
  EXPECT_EQ(Run(log, Fields({49, 0, 21})),
            (Strings{"1,870.21000,7,-61,00", "2,870.27000,9,-62,01", "2,870.27000,9,-63,02"}));
}

TEST_F(PelmorTest, UncheckedReceiverSamplesAreNotBuffered) {
  PelmorLogBuilder log = Log();
  log.SingleSetup(kChannel(7), kChannel(9)).Fix(FixAt(8, 0, 0));
  log.Samples(1, {-61}).Samples(2, {-62});
  log.Fix(FixAt(8, 0, 2));
  form.Receiver1.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({49, 0})), (Strings{"2,870.27000,-62"}));
}

TEST_F(PelmorTest, SampleStoreHoldsAtMost4096SamplesOf16Values) {
  PelmorLogBuilder log = Log();
  log.SingleSetup(kChannel(1), kChannel(1)).Fix(FixAt(8, 0, 0));
  log.Samples(1, std::vector<int>(20, -70));
  for (int i = 1; i < 4100; ++i) log.Samples(1, {-71});
  log.Fix(FixAt(8, 1, 0));
  const Strings lines = Run(log, Fields({0}));
  ASSERT_EQ(lines.size(), 4096u);
  // The first sample's 20 values are cut to 16 entries.
  std::string sixteen;
  for (int j = 0; j < 16; ++j) sixteen += std::string(j ? "," : "") + "870.03000,-70";
  EXPECT_EQ(lines.front(), sixteen);
  EXPECT_EQ(lines.back(), "870.03000,-71");
}

TEST_F(PelmorTest, SamplesWaitForTheSingleFrequencySetup) {
  PelmorLogBuilder log = Log();
  log.Fix(FixAt(8, 0, 0)).Samples(1, {-61}).Fix(FixAt(8, 0, 1));
  EXPECT_EQ(RunText(log, Fields({0})), "");
}

// --- Real-time-clock time base -----------------------------------------------------------------

TEST_F(PelmorTest, ClockSamplesAreWrittenAtOnceWithTheClockFields) {
  PelmorLogBuilder log = Log();
  log.SingleSetup(kChannel(7), kChannel(9));
  log.Clock({13, 14, 15, 28, 2, 24, 123}).Samples(1, {-61, -62});
  log.Clock({13, 14, 16, 28, 2, 24, 7}).Samples(2, {-70});
  form.ChannelField.SetChecked(true);
  EXPECT_EQ(Run(log, Fields({49, 0, 37, 38, 39, 40, 33, 34, 35, 36, 29})),
            (Strings{"1,870.21000,7,-61,870.21000,7,-62,13:14:15,13,14,15,02/28/24,02,28,24,23",
                     "2,870.27000,9,-70,13:14:16,13,14,16,02/28/24,02,28,24,07"}));
}

// --- Sections ----------------------------------------------------------------------------------

TEST_F(PelmorTest, EverySetupStartsASectionAndTableRunsMakeOne) {
  PelmorLogBuilder log = Log();
  log.SingleSetup(kChannel(1), kChannel(2));
  log.Fix(FixAt(8, 1, 2)).SingleSetup(kChannel(3), kChannel(4));
  log.Clock({9, 10, 11}).ListSetup(Channels(1), Channels(1)).ListSetup(Channels(2), Channels(2));
  log.TableData({{0, 1, -50}}).TableData({{0, 5, -51}}).Fix(FixAt(8, 2, 0));
  log.TableData({{0, 9, -52}});
  EXPECT_EQ(Index(log), (std::vector<IndexedSection>{{1, 19, "N/A 00:00:00"},
                                                     {2, 19, "GPS 08:01:02"},
                                                     {3, 20, "RTC 09:10:11"},
                                                     {4, 20, "RTC 09:10:11"},
                                                     {5, 1, "RTC 09:10:11"}}));
}

TEST_F(PelmorTest, DeselectedSectionsAreLeftOut) {
  PelmorLogBuilder log = Log();
  log.Clock({}).ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -50}});
  log.ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -51}});
  log.TableData({{0, 1, -52}}).TableData({{0, 1, -53}});
  log.ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -54}});
  ASSERT_EQ(Index(log).size(), 4u);
  c.Sections().SetTable(SectionStates({true, false, false, true}));
  form.Receiver2.SetChecked(false);
  form.FrequencyField.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({0})), (Strings{"-50,-120,-120,-120,-120,-120,-120,-120,-120,-120",
                                            "-54,-120,-120,-120,-120,-120,-120,-120,-120,-120"}));
}

TEST_F(PelmorTest, PcCardFileGivesTheSameTreeAsThePlainLog) {
  auto build = [](bool card) {
    PelmorLogBuilder log(card);
    log.Configuration(3, Plan30(), Plan30()).Fix(FixAt(8, 0, 0));
    log.SingleSetup(kChannel(1), kChannel(2)).Samples(1, {-60}).Fix(FixAt(8, 0, 1));
    log.ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -50}});
    log.TableData({{0, 1, -52}});
    return log;
  };
  auto tree = [&](bool card) {
    const std::string path = Path(card ? "card.pvf" : "plain.pvf");
    build(card).WriteTo(path);
    TestHost host;
    TMainForm window(host);
    window.AutoIndex = false;
    const std::int16_t code = window.ChooseInputFile(path);
    EXPECT_EQ(code, card ? kProductPelmorCard : kProductPelmor);
    EXPECT_EQ(window.Converters().ForCode(code),
              window.Converters().ForCode(card ? kProductPelmor : kProductPelmorCard));
    TMakeIndex index(window, code);
    index.Run();
    Strings texts;
    for (const auto& root : window.tvIndex.Roots()) {
      texts.push_back(root->Text);
      for (const auto& section : root->Children)
        texts.push_back("  " + window.tvIndex.Text(section));
    }
    return texts;
  };
  const Strings plain = tree(false);
  EXPECT_EQ(plain, (Strings{"Single Frequency", "  GPS 08:00:00", "List Data", "  GPS 08:00:01",
                            "Table Data", "  GPS 08:00:01"}));
  EXPECT_EQ(tree(true), plain);
}

TEST_F(PelmorTest, IndexCountsEachRecordAtTheTimeOfTheLastFix) {
  // Records before the first fix have no time; the rest are counted at the last fix's time,
  // and the fix of one file does not time the first records of the next.
  TestHost host;
  TMainForm window(host);
  window.AutoIndex = false;
  using Times = std::vector<std::array<std::uint32_t, 3>>;
  auto times = [&](const PelmorLogBuilder& log, const std::string& name) {
    log.WriteTo(Path(name));
    TMakeIndex index(window, window.ChooseInputFile(Path(name)));
    index.Run();
    Times sections;
    for (const auto& root : window.tvIndex.Roots())
      for (const auto& section : root->Children)
        sections.push_back({section.Records, section.Start, section.Span});
    return sections;
  };
  PelmorLogBuilder log = Log();
  log.ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -50}});
  log.Fix(FixAt(8, 0, 0)).ListData({{0, 0, -51}}).Fix(FixAt(8, 0, 7)).ListData({{0, 0, -52}});
  log.Fix(FixAt(23, 59, 50)).TableData({{0, 1, -52}}).Fix(FixAt(0, 0, 2));
  log.TableData({{0, 1, -53}});
  const std::uint32_t eight = 8 * 3600, tenToMidnight = 86390;
  EXPECT_EQ(times(log, "first.pvf"),
            (Times{{7, eight, 23 * 3600 + 59 * 60 + 50 - eight},  // up to the next fix
                   {3, tenToMidnight, 12}}));                     // over midnight
  PelmorLogBuilder clockOnly = Log();
  clockOnly.ListSetup(Channels(1), Channels(1)).Clock({9, 10, 11}).ListData({{0, 0, -50}});
  // A clock record gives a time; the fix it is counted at is the start value, 12:00:00, not
  // the last fix of the file before.
  EXPECT_EQ(times(clockOnly, "second.pvf"), (Times{{3, 12 * 3600, 0}}));
}

// --- List data -------------------------------------------------------------------------------

TEST_F(PelmorTest, ListRecordsWriteALinePerSelectedReceiver) {
  PelmorLogBuilder log;
  log.Configuration(3, Plan30(), Plan30()).Clock({});
  std::array<std::uint32_t, 10> list2{};
  list2[0] = kChannel(50);
  list2[4] = kChannel(54);
  log.ListSetup(Channels(1), list2);
  log.ListData({{0, 1, -45}, {1, 4, -55}, {1, 0, -65}, {0, 32, -1}, {2, 0, -2}});
  form.ChannelField.SetChecked(true);
  const Strings lines = Run(log, Fields({49, 0}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("1,870.03000,1,-120,870.06000,2,-45,870.09000,3,-120,"))
      << lines[0];
  EXPECT_TRUE(lines[0].ends_with(",870.30000,10,-120")) << lines[0];
  // Receiver 2 lists only two channels: its empty entries are not written.
  EXPECT_EQ(lines[1], "2,871.50000,50,-65,871.62000,54,-55");
}

TEST_F(PelmorTest, InactiveOrUncheckedReceiversGetNoListLine) {
  PelmorLogBuilder log;
  log.Configuration(2, Plan30(), Plan30()).Clock({}).ListSetup(Channels(1), Channels(1));
  log.ListData({{0, 0, -45}, {1, 0, -46}});
  form.FrequencyField.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({49})), (Strings{"2"}));
  form.Receiver2.SetChecked(false);
  EXPECT_EQ(RunText(log, Fields({49})), "");
}

TEST_F(PelmorTest, ListBestServerWritesTheStrongestListedEntry) {
  PelmorLogBuilder log;
  log.Configuration(1, Plan30(), Plan30()).Clock({});
  std::array<std::uint32_t, 10> list = Channels(1);
  list[6] = 0;  // not listed: its level does not count
  log.ListSetup(list, list);
  log.ListData({{0, 2, -50}, {0, 3, -40}, {0, 6, -10}, {0, 8, -40}});
  form.Receiver2.SetChecked(false);
  form.FieldTitles.SetChecked(true);
  ConversionSettings s;
  s.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Run(log, Fields({0}), s), (Strings{"\"Frequency\",\"RSSI\"", "870.12000,-40"}));
}

// --- Table data and best server ----------------------------------------------------------------

TEST_F(PelmorTest, TableRecordsWriteFourEntriesWithTitlesAtEachTableSection) {
  PelmorLogBuilder log = Log();
  log.Clock({}).ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -50}});
  log.TableData({{0, 100, -60}, {0, 101, -61}, {1, 3, -62}, {0, 102, -63}});
  log.TableData({{0, 200, -64}, {0, 201, -65}, {0, 202, -66}, {0, 203, -67}});
  form.Receiver2.SetChecked(false);
  form.FieldTitles.SetChecked(true);
  form.FrequencyField.SetChecked(false);
  form.ChannelField.SetChecked(true);
  const Strings lines = Run(log, Fields({0}));
  ASSERT_EQ(lines.size(), 5u);
  std::string listTitles;
  for (int j = 0; j < 10; ++j) listTitles += std::string(j ? "," : "") + "\"Channel\",\"RSSI\"";
  EXPECT_EQ(lines[0], listTitles);
  EXPECT_EQ(lines[2],
            "\"Channel\",\"RSSI\",\"Channel\",\"RSSI\",\"Channel\",\"RSSI\","
            "\"Channel\",\"RSSI\"");
  // Entry 2 belongs to receiver 2: receiver 1's table has no channel there.
  EXPECT_EQ(lines[3], "100,-60,101,-61,0,-120,102,-63");
  EXPECT_EQ(lines[4], "200,-64,201,-65,202,-66,203,-67");
}

TEST_F(PelmorTest, TableChannelsFollowTheWrappedPlan) {
  PelmorLogBuilder log;
  PelmorPlan plan = Plan30(true);
  plan.first = 28968;  // channel 991
  log.Configuration(1, plan, plan).Clock({});
  log.TableData({{0, 991, -60}, {0, 1023, -61}, {0, 1, -62}, {0, 2, -63}});
  form.Receiver2.SetChecked(false);
  form.ChannelField.SetChecked(true);
  EXPECT_EQ(Run(log, Fields({0})),
            (Strings{"869.04000,991,-60,870.00000,1023,-61,870.06000,1,-62,870.09000,2,-63"}));
}

TEST_F(PelmorTest, EntriesAreWrittenUnderThePlanOfTheLastConfiguration) {
  // The same listed frequency and table channel before and after configurations that move the
  // first frequency (and the channel numbering) and then the step: each record's entries follow
  // the plan in force when it comes.
  PelmorPlan wrapped = Plan30(true);
  wrapped.first = 28968;  // channel 991
  PelmorPlan narrow = Plan30();
  narrow.stepKhz = 12.5;
  std::array<std::uint32_t, 10> list{};
  list[0] = kChannel(2);
  PelmorLogBuilder log;
  log.Configuration(1, Plan30(), Plan30()).Clock({}).ListSetup(list, list);
  for (const PelmorPlan& plan : {Plan30(), wrapped, narrow, Plan30()}) {
    log.Configuration(1, plan, plan);
    log.ListData({{0, 0, -50}});
    log.TableData({{0, 2, -60}});
  }
  form.Receiver2.SetChecked(false);
  form.ChannelField.SetChecked(true);
  // A table record writes all four entries: the three without a channel as channel 0.
  const auto table = [](const std::string& entry, const std::string& none) {
    return entry + "," + none + ",0,-120," + none + ",0,-120," + none + ",0,-120";
  };
  EXPECT_EQ(Run(log, Fields({0})),
            (Strings{"870.06000,2,-50", table("870.06000,2,-60", "870.00000"),  // 870.030: 1
                     "870.06000,1,-50", table("870.09000,2,-60", "870.03000"),  // 869.040: 991
                     "362.52500,2,-50", table("362.52500,2,-60", "362.50000"),  // 12.5 kHz
                     "870.06000,2,-50", table("870.06000,2,-60", "870.00000")}));
}

TEST_F(PelmorTest, BestServerWritesATableRecordOnlyWhenASweepRestarts) {
  PelmorLogBuilder log = Log();
  log.Clock({});
  log.TableData({{0, 1, -90}, {0, 2, -80}, {0, 3, -85}, {0, 4, -70}});
  log.TableData({{0, 5, -95}, {0, 6, -60}, {0, 7, -75}, {0, 1, -88}});  // new sweep at its end
  log.TableData({{0, 2, -50}, {0, 3, -52}, {0, 4, -53}, {0, 5, -54}});
  form.Receiver2.SetChecked(false);
  form.ChannelField.SetChecked(true);
  form.FieldTitles.SetChecked(true);
  ConversionSettings s;
  s.ReductionMode = kReduceBestServer;
  // The written record reports the strongest channel of the sweep that just ended.
  EXPECT_EQ(Run(log, Fields({32, 0}), s),
            (Strings{"\"Record Number\",\"Frequency\",\"Channel\",\"RSSI\"", "1,870.18000,6,-60"}));
  s.ReductionMode = kReduceNone;
  form.FieldTitles.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({32})), (Strings{"1", "2", "3"}));
}

TEST_F(PelmorTest, BestServerWritesOnlyTheReceiverWhoseSweepEnded) {
  PelmorLogBuilder log = Log();
  log.Clock({});
  // Receiver 2's very first entry opens its first sweep: nothing has ended yet.
  log.TableData({{0, 1, -90}, {0, 2, -80}, {0, 3, -85}, {1, 1, -70}});
  // Receiver 1 begins a new sweep at its last entry; receiver 2 is mid-sweep.
  log.TableData({{1, 2, -60}, {1, 3, -65}, {0, 4, -75}, {0, 1, -95}});
  // Now receiver 2's sweep ends; receiver 1, still holding, has no entry at the end here.
  log.TableData({{1, 1, -50}, {0, 2, -70}, {0, 3, -72}, {0, 4, -74}});
  form.ChannelField.SetChecked(true);
  ConversionSettings s;
  s.ReductionMode = kReduceBestServer;
  EXPECT_EQ(Run(log, Fields({49, 0}), s), (Strings{"1,870.12000,4,-75", "2,870.06000,2,-60"}));
}

TEST(PelmorBestServerTest, HoldMarksTheStartOfASweep) {
  pelmor::BestServerState b;
  b.Update(10, -70);
  EXPECT_TRUE(b.Hold);  // the first entry always begins a sweep
  b.Update(11, -60);
  EXPECT_FALSE(b.Hold);
  EXPECT_EQ(b.BestChannel, 11);
  b.Update(12, -60);  // equal level: the later channel wins
  EXPECT_EQ(b.BestChannel, 12);
  b.Update(12, -90);  // not above the best channel: a new sweep
  EXPECT_TRUE(b.Hold);
  EXPECT_EQ(b.BestChannel, 12);
  EXPECT_EQ(b.BestRssi, -60);
  b.Update(13, -95);  // the held entry opens the new sweep's best
  EXPECT_FALSE(b.Hold);
  EXPECT_EQ(b.BestChannel, 12);
  EXPECT_EQ(b.BestRssi, -90);
}

// --- Titles ------------------------------------------------------------------------------------

TEST_F(PelmorTest, TitlesFollowTheKindOfTheFirstSetup) {
  PelmorLogBuilder log = Log();
  log.Clock({}).SingleSetup(kChannel(1), kChannel(1)).Samples(1, {-60});
  log.ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -50}});
  form.FieldTitles.SetChecked(true);
  form.Receiver2.SetChecked(false);
  // Indexing leaves the list kind behind; the titles still describe the single frequency.
  Index(log);
  EXPECT_EQ(Run(log, Fields({49, 0})).front(), "\"Receiver\",\"Frequency\",\"RSSI\"");
  form.FrequencyField.SetChecked(false);
  form.RSSIField.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({49, 0})).front(), "\"Receiver\"");
}

// --- Receivers after a clock record -----------------------------------------------------------

TEST_F(PelmorTest, ListRecordsAfterClockSamplesStillWriteBothReceivers) {
  PelmorLogBuilder log = Log();
  log.Clock({}).SingleSetup(kChannel(1), kChannel(1)).Samples(2, {-60});
  log.ListSetup(Channels(1), Channels(1)).ListData({{0, 0, -50}, {1, 0, -51}});
  form.FrequencyField.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({49, 0})),
            (Strings{"2,-60", "1,-50,-120,-120,-120,-120,-120,-120,-120,-120,-120",
                     "2,-51,-120,-120,-120,-120,-120,-120,-120,-120,-120"}));
}

// --- Test points -------------------------------------------------------------------------------

TEST_F(PelmorTest, TestPointFields) {
  PelmorLogBuilder log = ListLog();
  PelmorTpPosition tp;
  tp.hour = 7;
  tp.minute = 8;
  tp.second = 9;
  tp.day = 15;
  tp.month = 6;
  tp.year = 2024;
  tp.latHemisphere = 'S';
  tp.latDegrees = 0;
  tp.latMillionths = 500000;
  tp.lonHemisphere = 'E';
  tp.lonDegrees = 151;
  tp.lonMillionths = 2093;
  log.TpPositionTime(tp).TpMotion(-12, 270).ListData({{0, 0, -60}});
  form.Receiver2.SetChecked(false);
  EXPECT_EQ(Run(log, Fields({50, 51, 52, 53, 54, 55})).back(),
            "-0.500000,151.002093,06/15/2024,07:08:09,-12,270");
}

}  // namespace
}  // namespace polvane::testing
