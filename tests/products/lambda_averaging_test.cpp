// 40-wavelength averaging of fast records in the Tarvik, Selvor and extended Tarvik readers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form_controls.h"
#include "index/reduction_dialogs.h"
#include "products/selvor/selvor_converter.h"
#include "products/tarvik/tarvik_converter.h"
#include "products/tarvik/tarvik_ext_converter.h"
#include "support/conversion.h"
#include "support/selvor_log.h"
#include "support/tarvik_ext_log.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace testing;

ConversionSettings Lambda() {
  ConversionSettings s;
  s.ReductionMode = kReduceLambda;
  return s;
}

// A fast block tuned to `mhz` (a whole number) whose samples are given by `level(i)`.
template <class Level>
TarvikFastBlock TarvikBlock(int mhz, Level level) {
  TarvikFastBlock b;
  b.plan.baseMhz = static_cast<std::uint16_t>(mhz);
  b.plan.fraction = 0;
  b.plan.baseChannel = 1;
  b.channel = 1;
  for (int i = 0; i < 512; ++i) b.samples[i] = static_cast<std::uint8_t>(level(i));
  return b;
}

TarvikFastBlock Flat(int mhz, int level) {
  return TarvikBlock(mhz, [level](int) { return level; });
}

class TarvikLambdaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.ScanTypeGroup.SetItemIndex(1);
    form.FrequencyField.SetChecked(false);
    form.FieldTitles.SetChecked(false);
  }
  std::vector<std::string> Run(const TarvikLogBuilder& log, const Selection& fields,
                               ConversionSettings s = Lambda()) {
    const std::string path = dir.File("log.tvf");
    log.WriteTo(path);
    s.LambdaMetresPerSecond = dialog.MetresPerSecond();
    return Lines(Convert(c, form, path, fields, s));
  }
  ScratchDir dir;
  FormControls form;
  TLambdaDlg dialog;
  // The reader, with the lines of its record in view.
  struct Reader : TarvikConverter {
    using TarvikConverter::RepeatCount;
  } c;
};

TEST_F(TarvikLambdaTest, ThirtyMphAt900MhzMakesWindowsOfTwelveSamples) {
  // 30 MPH is 13.408 m/s; 153.6e9 / (900e6 x 13.408) = 12.7 samples, truncated.
  TarvikLogBuilder log(false);
  log.Fast({}, {TarvikBlock(900, [](int i) { return 60 + i / 12 % 10; })});
  const auto lines = Run(log, Fields({32, 0}));
  EXPECT_EQ(c.LambdaWindow(1), 12);
  // 512 samples close 42 windows (8 samples stay open): one line per window mean.
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_EQ(lines[0], "1,-60");
  EXPECT_EQ(lines[1], "2,-61");
  EXPECT_EQ(lines[9], "10,-69");
  EXPECT_EQ(lines[41], "42,-61");
}

TEST_F(TarvikLambdaTest, SpeedInKilometresPerHourAndFrequencyScaleTheWindow) {
  TarvikLogBuilder log(false);
  log.Fast({}, {Flat(900, 70), Flat(1800, 70)});
  dialog.KMHchoice.SetChecked(true);
  dialog.LambdaSpeed.SetText("48.27");  // 30 MPH
  c.SetReduction(kReduceLambda);
  const std::string path = dir.File("log.tvf");
  log.WriteTo(path);
  ASSERT_EQ(c.OpenInput(path), 0);
  std::vector<std::uint8_t> buffer(kRecordBufferSize);
  c.SetConverting(true);
  ASSERT_NE(c.ReadRecord(buffer.data()), 0);
  form.Receiver2.SetChecked(true);
  ConversionSettings settings = FormSettings(form);
  settings.LambdaMetresPerSecond = dialog.MetresPerSecond();
  c.SetSettings(settings);
  c.SetReduction(kReduceLambda);
  EXPECT_EQ(c.ParseRecord(buffer.data()), kActionWrite);
  c.CloseInput();
  EXPECT_EQ(c.LambdaWindow(1), 12);
  EXPECT_EQ(c.LambdaWindow(2), 6);  // twice the frequency, half the wavelength
  EXPECT_EQ(c.RepeatCount, 85);     // the largest count of means: 512 / 6
  EXPECT_EQ(c.AverageArea().MeanCount(0), 42);
}

TEST_F(TarvikLambdaTest, WindowsCarryAcrossRecords) {
  TarvikLogBuilder log(false);
  log.Fast({}, {Flat(900, 50)}).Fast({}, {Flat(900, 80)});
  const auto lines = Run(log, Fields({0}));
  // 42 means of the first sweep; its last 8 samples open the window that the second sweep's
  // first 4 samples close: (8 x 50 + 4 x 80) / 12 = 60. 520 samples make 43 windows.
  ASSERT_EQ(lines.size(), 42u + 43u);
  EXPECT_EQ(lines[41], "-50");
  EXPECT_EQ(lines[42], "-60");
  EXPECT_EQ(lines[43], "-80");
  EXPECT_EQ(lines.back(), "-80");
}

TEST_F(TarvikLambdaTest, AReceiverWithFewerMeansRepeatsItsLatest) {
  form.Receiver2.SetChecked(true);
  TarvikLogBuilder log(false);
  log.Fast({}, {TarvikBlock(900, [](int i) { return 40 + i / 12; }), Flat(1800, 90)});
  const auto lines = Run(log, Fields({0}));
  ASSERT_EQ(lines.size(), 85u);
  EXPECT_EQ(lines[0], "-40,-90");
  EXPECT_EQ(lines[41], "-81,-90");
  EXPECT_EQ(lines[42], "-81,-90");  // receiver 1 completed no 43rd window
  EXPECT_EQ(lines[84], "-81,-90");
}

TEST_F(TarvikLambdaTest, SpeedsWithoutAUsableWindowAverageSampleBySample) {
  for (const char* speed : {"abc", "0", "-20", "", "1e400"}) {
    dialog.LambdaSpeed.SetText(speed);
    TarvikLogBuilder log(false);
    log.Fast({}, {TarvikBlock(900, [](int i) { return i % 100; })});
    const auto lines = Run(log, Fields({0}));
    EXPECT_EQ(c.LambdaWindow(1), 1) << speed;
    ASSERT_EQ(lines.size(), 512u) << speed;
    EXPECT_EQ(lines[7], "-7") << speed;
  }
  // A frequency of 0 gives no window either.
  dialog.LambdaSpeed.SetText("30");
  TarvikLogBuilder log(false);
  log.Fast({}, {Flat(0, 70)});
  EXPECT_EQ(Run(log, Fields({0})).size(), 512u);
}

TEST_F(TarvikLambdaTest, TinySpeedsHoldTheWindowToAWholeNumberOfSamples) {
  dialog.LambdaSpeed.SetText("0.0000001");
  TarvikLogBuilder log(false);
  for (int i = 0; i < 3; ++i) log.Fast({}, {Flat(900, 70)});
  EXPECT_TRUE(Run(log, Fields({0})).empty());  // no window closes in 1536 samples
  EXPECT_EQ(c.LambdaWindow(1), 32767);
}

TEST_F(TarvikLambdaTest, ScanRecordsAndOtherModesAreNotAveraged) {
  std::array<TarvikScanReceiver, 4> rx;
  rx[0].entries = {{5, 70}, {6, 60}};
  TarvikLogBuilder log(false);
  log.Scan({}, rx).Fast({}, {Flat(900, 70)});
  form.ScanTypeGroup.SetItemIndex(0);
  const auto lines = Run(log, Fields({32, 0}));
  ASSERT_EQ(lines.size(), 1u + 42u);
  EXPECT_EQ(lines[0], "1,-70,-60");
  // A file converted without averaging after an averaged one writes one line per record.
  EXPECT_EQ(Run(log, Fields({32, 0}), ConversionSettings{}).size(), 2u);
  EXPECT_FALSE(c.Averaging());
}

TEST_F(TarvikLambdaTest, EverySetReductionStartsTheWindowsAfresh) {
  TarvikLogBuilder log(false);
  log.Fast({}, {Flat(900, 50)});
  Run(log, Fields({0}));
  EXPECT_EQ(c.AverageArea().At(0).Counter, 8);
  c.SetReduction(kReduceLambda);
  EXPECT_EQ(c.AverageArea().At(0).Counter, 0);
  EXPECT_EQ(c.AverageArea().At(0).Sum, 0u);
  EXPECT_TRUE(c.Averaging());
  c.SetReduction(kReduceBestServer);
  EXPECT_FALSE(c.Averaging());
}

TEST_F(TarvikLambdaTest, FixedLayoutsWriteOneRecordPerWindowMean) {
  TarvikLogBuilder log(false);
  log.Fast({}, {TarvikBlock(900, [](int i) { return 60 + i / 12 % 10; })});
  ConversionSettings s = Lambda();
  s.FixedLayout = true;
  s.OutputFormat = 7;  // MSI Planet
  form.OutputFormatGroup.SetItemIndex(7);
  const auto lines = Run(log, Fields({}), s);
  int reports = 0;
  std::string second;
  for (const std::string& line : lines)
    if (line.find("REPORT::Report") != std::string::npos && ++reports == 2) second = line;
  EXPECT_EQ(reports, 42);
  EXPECT_NE(second.find("-61"), std::string::npos) << second;
}

TEST(SelvorLambda, AveragesEachReceiversSweep) {
  ScratchDir dir;
  FormControls form;
  TLambdaDlg dialog;
  SelvorConverter c;
  form.FieldTitles.SetChecked(false);
  form.FrequencyField.SetChecked(false);
  form.Receiver2.SetChecked(true);
  SelvorFastBlock a, b;
  for (SelvorFastBlock* block : {&a, &b}) {
    block->plan.baseMhz = 900;
    block->plan.fraction = 0;
    block->plan.baseCode = 1;
    block->code = 1;
  }
  b.plan.baseMhz = 450;  // a window of 25 samples
  for (int i = 0; i < 512; ++i) {
    a.samples[i] = static_cast<std::uint8_t>(60 + i / 12 % 3);
    b.samples[i] = 75;
  }
  SelvorLogBuilder log;
  log.Fast({}, {a, b});
  const std::string path = dir.File("log.svf");
  log.WriteTo(path);
  ConversionSettings s = Lambda();
  s.LambdaMetresPerSecond = dialog.MetresPerSecond();
  const auto lines = Lines(Convert(c, form, path, Fields({0}), s));
  EXPECT_EQ(c.LambdaWindow(1), 12);
  EXPECT_EQ(c.LambdaWindow(2), 25);
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_EQ(lines[0], "-60,-75");
  EXPECT_EQ(lines[2], "-62,-75");
  EXPECT_EQ(lines[41], "-62,-75");  // receiver 2 closed 20 windows and holds the last
}

class TarvikExtLambdaTest : public ::testing::Test {
 protected:
  TarvikExtLambdaTest() {
    form.FieldTitles.SetChecked(false);
    form.FrequencyField.SetChecked(false);
  }
  static TarvikExtFastBlock Block(int mhz, int level) {
    TarvikExtFastBlock b;
    b.plan.baseMhz = static_cast<std::uint16_t>(mhz);
    b.plan.fraction = 0;
    b.plan.lowest = 1;
    b.channel = 1;
    b.samples.assign(512, static_cast<std::uint8_t>(level));
    return b;
  }
  std::vector<std::string> Run(const TarvikExtLogBuilder& log) {
    const std::string path = dir.File("log.tvf");
    log.WriteTo(path);
    ConversionSettings s = Lambda();
    s.LambdaMetresPerSecond = dialog.MetresPerSecond();
    return Lines(Convert(c, form, path, Fields({49, 0}), s));
  }
  static TarvikExtHeader Moving(int centimetresPerSecond) {
    TarvikExtHeader h;
    h.velocityCmPerS = static_cast<std::uint16_t>(centimetresPerSecond);
    return h;
  }
  ScratchDir dir;
  FormControls form;
  TLambdaDlg dialog;
  TarvikExtConverter c;
};

TEST_F(TarvikExtLambdaTest, TheWindowFollowsTheRecordedVelocity) {
  // 13.41 m/s at 900 MHz: 12 samples per window, whatever the dialog says.
  dialog.LambdaSpeed.SetText("abc");
  TarvikExtLogBuilder log;
  log.Fast(Moving(1341), {Block(900, 70)});
  const auto lines = Run(log);
  EXPECT_EQ(c.LambdaWindow(1), 12);
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_EQ(lines[0], "1,-70");  // one reading per line: the receiver and one mean
}

TEST_F(TarvikExtLambdaTest, StandingStillAndCrawlingKeepTheWindowBetween1And512) {
  TarvikExtLogBuilder still;
  still.Fast(Moving(0), {Block(900, 70)});
  EXPECT_EQ(Run(still).size(), 512u);
  EXPECT_EQ(c.LambdaWindow(1), 1);
  TarvikExtLogBuilder crawl;
  crawl.Fast(Moving(1), {Block(900, 70)}).Fast(Moving(1), {Block(900, 90)});
  const auto lines = Run(crawl);
  EXPECT_EQ(c.LambdaWindow(1), 512);
  EXPECT_EQ(lines, (std::vector<std::string>{"1,-70", "1,-90"}));
}

TEST_F(TarvikExtLambdaTest, EachReceiverWritesALinePerMean) {
  form.Receiver2.SetChecked(true);
  TarvikExtLogBuilder log;
  // Receiver 2 at 450 MHz: 25 samples per window, 20 means.
  log.Fast(Moving(1341), {Block(900, 70), Block(450, 80)});
  const auto lines = Run(log);
  ASSERT_EQ(lines.size(), 42u + 20u);
  EXPECT_EQ(lines[0], "1,-70");
  EXPECT_EQ(lines[1], "2,-80");
  EXPECT_EQ(lines[39], "2,-80");  // the 20th pass
  EXPECT_EQ(lines[40], "1,-70");
  EXPECT_EQ(lines.back(), "1,-70");
  // A reading record after it is written whole, as ever.
  TarvikExtLogBuilder more;
  more.Fast(Moving(1341), {Block(900, 70)}).V(0, 5, 60, 1, 2);
  EXPECT_EQ(Run(more).back(), "1,-60");
}

}  // namespace
}  // namespace polvane
