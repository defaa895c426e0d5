// The reduction choices of the main window, the option dialogs and the average-information pass.
#include <gtest/gtest.h>

#include <cmath>

#include "app/main_form.h"
#include "index/make_list.h"
#include "index/reduction_dialogs.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"

namespace polvane {
namespace {

using namespace testing;

TEST(ReductionDialogs, CaptionsTextsAndInitialValues) {
  TLambdaDlg lambda;
  EXPECT_EQ(lambda.Caption(), "40 Lambda Averaging");
  EXPECT_EQ(lambda.Text.Caption(),
            "Enter the average speed of the vehicle for the drive study.  The resulting data will "
            "provide a single averaged point for every 40 wavelengths of driving distance.");
  EXPECT_EQ(lambda.SpeedLabel.Caption(), "Average Speed");
  EXPECT_EQ(lambda.LambdaSpeed.Text(), "30");
  EXPECT_TRUE(lambda.MPHchoice.Checked());
  EXPECT_EQ(lambda.KMHchoice.Caption(), "KM / H");
  lambda.KMHchoice.SetChecked(true);
  EXPECT_FALSE(lambda.MPHchoice.Checked());

  TTrafficDlg traffic;
  EXPECT_EQ(traffic.Caption(), "Traffic Averaging");
  EXPECT_EQ(traffic.Text1.Caption() + traffic.Distance.Text() + " " + traffic.Degrees.Caption() +
                " " + traffic.Text2.Caption() + traffic.Time.Text() + " " +
                traffic.Text3.Caption() + traffic.Text4.Caption(),
            "If the vehicle has not travelled .0005 degrees in the span of 30 seconds, drop all "
            "of the points until the required distance has been travelled.");
  EXPECT_TRUE(traffic.Degrees.Checked());
  EXPECT_FALSE(traffic.Minutes.Checked());

  TThresholdDlg threshold;
  EXPECT_EQ(threshold.Caption(), "Data Reduction via Threshold");
  EXPECT_EQ(threshold.comboField.Items(), (std::vector<std::string>{"RSSI", "Velocity"}));
  EXPECT_EQ(threshold.comboField.Text(), "RSSI");
  EXPECT_EQ(threshold.comboComparator.Items(),
            (std::vector<std::string>{">", ">=", "=", "<=", "<"}));
  EXPECT_EQ(threshold.comboComparator.Text(), ">");
  EXPECT_EQ(threshold.edValue.Text(), "-100");
  EXPECT_EQ(threshold.OKBtn.Caption(), "OK");
  for (const Control* d :
       {static_cast<const Control*>(&lambda), static_cast<const Control*>(&traffic),
        static_cast<const Control*>(&threshold)})
    EXPECT_FALSE(d->Visible());
}

TEST(ReductionDialogs, SpeedTextReadsLikeAStandardNumberConversion) {
  EXPECT_DOUBLE_EQ(ReadDecimal("30"), 30);
  EXPECT_DOUBLE_EQ(ReadDecimal("  12.5 mph"), 12.5);
  EXPECT_DOUBLE_EQ(ReadDecimal("+.5"), 0.5);
  EXPECT_DOUBLE_EQ(ReadDecimal("-3e1"), -30);
  EXPECT_DOUBLE_EQ(ReadDecimal("1,5"), 1);  // a comma is no decimal point, in any locale
  EXPECT_EQ(ReadDecimal("abc"), 0);
  EXPECT_EQ(ReadDecimal(""), 0);
  EXPECT_EQ(ReadDecimal("-"), 0);
  EXPECT_TRUE(std::isinf(ReadDecimal("1e999")));
  EXPECT_EQ(ReadDecimal("1e-999"), 0);

  TLambdaDlg lambda;
  EXPECT_NEAR(lambda.MetresPerSecond(), 30 * 1.609 / 3.6, 1e-12);
  lambda.KMHchoice.SetChecked(true);
  lambda.LambdaSpeed.SetText("36");
  EXPECT_NEAR(lambda.MetresPerSecond(), 10, 1e-12);
}

TEST(ReductionDialogs, WindowLengthIsAWholeNumberOfSamplesFrom1To32767) {
  const double k = 512.0 * 300000000.0;
  EXPECT_EQ(AverageWindows::Length(k, 900e6, 30 * 1.609 / 3.6), 12);
  EXPECT_EQ(AverageWindows::Length(k, 900e6, 0), 1);
  EXPECT_EQ(AverageWindows::Length(k, 0, 13), 1);
  EXPECT_EQ(AverageWindows::Length(k, 900e6, -13), 1);
  EXPECT_EQ(AverageWindows::Length(k, 900e6, NAN), 1);
  EXPECT_EQ(AverageWindows::Length(k, 900e6, INFINITY), 1);
  EXPECT_EQ(AverageWindows::Length(k, 1e12, 1e6), 1);  // less than one sample
  EXPECT_EQ(AverageWindows::Length(k, 1, 1e-9), 32767);
  EXPECT_EQ(AverageWindows::Length(0, 900e6, 13), 1);  // no records per second
}

class ReductionFormTest : public ::testing::Test {
 protected:
  void Choose(std::int16_t code) { form.InputFormatGroup.SetItemIndex(code); }
  TestHost host;
  TMainForm form{host};
  void SetUp() override { form.AutoIndex = false; }
};

TEST_F(ReductionFormTest, DataReductionControlsStartAsTheWindowShowsThem) {
  EXPECT_TRUE(form.NoAvg.Checked());
  EXPECT_EQ(form.rbLambda.Caption(), "40 Lambda");
  EXPECT_EQ(form.btnLambda.Caption(), "OPTIONS");
  EXPECT_FALSE(form.rbLambda.Enabled());
  for (const Control* c : {static_cast<const Control*>(&form.RadioButton1),
                           static_cast<const Control*>(&form.RadioButton2),
                           static_cast<const Control*>(&form.btnChannelList),
                           static_cast<const Control*>(&form.btnThreshold)})
    EXPECT_FALSE(c->Enabled());
  EXPECT_FALSE(form.rbORPS.Visible());
  EXPECT_FALSE(form.rbORPM.Visible());
  EXPECT_EQ(form.ORPS_Value.Text(), "1");
  EXPECT_EQ(form.ORPM_Value.Text(), "100");
  // A run takes the speed of the main window's Lambda dialog when it starts.
  form.LambdaDlg.LambdaSpeed.SetText("48.27");
  form.LambdaDlg.KMHchoice.SetChecked(true);
  EXPECT_NEAR(form.RunSettings().LambdaMetresPerSecond, 13.408, 0.001);
}

TEST_F(ReductionFormTest, ProductsOfferTheReductionsTheirReadersApply) {
  for (std::int16_t code : {1, 2, 3, 4, 5, 7, 8, 9}) {
    Choose(code);
    const bool averages = code == 1 || code == 2 || code == 4 || code == 7;
    EXPECT_EQ(form.rbLambda.Enabled(), averages) << code;
    EXPECT_EQ(form.btnLambda.Enabled(), averages) << code;
    EXPECT_EQ(form.rbORPS.Visible(), code == 3) << code;
    EXPECT_EQ(form.rbORPS.Enabled(), code == 3) << code;
    EXPECT_EQ(form.ORPS_Value.Visible(), code == 3) << code;
    // One record per N metres and traffic need positions; a threshold goes with every product.
    EXPECT_EQ(form.rbORPM.Visible(), code != kProductDrovel) << code;
    EXPECT_EQ(form.cbTraffic.Enabled(), code != kProductDrovel) << code;
    EXPECT_TRUE(form.RadioButton2.Enabled()) << code;
  }
  // A choice the next product does not offer falls back to its neighbour.
  Choose(kProductTarvik);
  form.rbLambdaClick();
  EXPECT_EQ(form.CurrentReductionMode(), kReduceLambda);
  Choose(kProductDrovel);
  EXPECT_TRUE(form.NoAvg.Checked());
  EXPECT_EQ(form.CurrentReductionMode(), kReduceNone);
  Choose(kProductKesCard);
  form.rbORPS.SetChecked(true);
  EXPECT_EQ(form.CurrentReductionMode(), kReducePerSeconds);
  Choose(kProductSelvor);
  EXPECT_TRUE(form.cbAT_None.Checked());
  EXPECT_EQ(form.CurrentReductionMode(), kReduceNone);
}

TEST_F(ReductionFormTest, TheJobTakesBestServerThenLambdaThenTheRecordRates) {
  form.rbORPS.SetChecked(true);
  EXPECT_EQ(form.CurrentReductionMode(), kReducePerSeconds);
  form.rbORPM.SetChecked(true);
  EXPECT_EQ(form.CurrentReductionMode(), kReducePerMeters);
  form.rbLambda.SetChecked(true);
  EXPECT_EQ(form.CurrentReductionMode(), kReduceLambda);
  form.BSAvg.SetChecked(true);  // one set with "40 Lambda": best server wins over "1 Rec per"
  EXPECT_FALSE(form.rbLambda.Checked());
  EXPECT_TRUE(form.rbORPM.Checked());
  EXPECT_EQ(form.CurrentReductionMode(), kReduceBestServer);
}

TEST_F(ReductionFormTest, AConfigurationSavedWithLambdaLeavesAChoiceChecked) {
  ScratchDir dir;
  const std::string cfg = dir.File("lambda.cfg");
  Choose(kProductTarvik);
  form.rbLambdaClick();
  ASSERT_TRUE(form.SaveConfiguration(cfg));
  // The file keeps "Convert All Data" and "Best Server" only: both off here.
  form.LoadConfiguration(cfg);
  EXPECT_TRUE(form.rbLambda.Checked());  // the window's choice stands
  form.NoAvg.SetChecked(true);
  form.LoadConfiguration(cfg);
  EXPECT_TRUE(form.NoAvg.Checked());
  EXPECT_EQ(form.CurrentReductionMode(), kReduceNone);
}

TEST_F(ReductionFormTest, OptionsOpensTheLambdaDialog) {
  form.btnLambdaClick();
  EXPECT_TRUE(form.LambdaDlg.Visible());
  form.LambdaDlg.OKBtnClick();
  EXPECT_FALSE(form.LambdaDlg.Visible());
}

TEST_F(ReductionFormTest, LambdaForAKesDumpFileOffersTheAverageInformation) {
  ScratchDir dir;
  const std::string path = dir.File("drive.kes");
  WriteFile(path, {});
  Choose(kProductTarvik);
  form.InputFilename.SetText(path);
  form.rbLambdaClick();
  EXPECT_FALSE(form.GeneratorDlg.Visible());  // Tarvik windows need no file-wide information
  Choose(kProductKesDump);
  form.rbLambdaClick();
  EXPECT_TRUE(form.GeneratorDlg.Visible());
  EXPECT_EQ(form.GeneratorDlg.Caption(), "Generate Average Information");
  form.GeneratorDlg.OKBtnClick();
  form.GeneratorDlg.WaitForWorker();
  EXPECT_EQ(form.GeneratorDlg.GatheredFile(), path);
  form.GeneratorDlg.CancelBtnClick();
  EXPECT_FALSE(form.GeneratorDlg.Visible());
  // Gathered once, the dialog is not offered again for the same file; another file needs its own.
  form.rbLambdaClick();
  EXPECT_FALSE(form.GeneratorDlg.Visible());
  EXPECT_FALSE(form.AverageInformationNeeded());
  form.InputFilename.SetText(dir.File("other.kes"));
  EXPECT_TRUE(form.AverageInformationNeeded());
}

TEST_F(ReductionFormTest, OneRecordPerSecondRepeatsThePreviousValuesWhenNothingArrived) {
  ScratchDir dir;
  const std::string path = dir.File("drive.bin");
  KesScan scan;
  scan.codes = {5};
  KesCardLogBuilder log;
  log.Scan(scan).Data({}, {80}).Data({}, {82}).Gps({}).Gps({}).Data({}, {90}).Gps({});
  log.WriteTo(path);
  form.AutoIndex = true;
  ASSERT_EQ(form.ChooseInputFile(path), kProductKesCard);
  form.WaitForIndexing();
  ASSERT_TRUE(form.rbORPS.Enabled());
  form.rbORPS.SetChecked(true);
  EXPECT_EQ(form.ORPS_Value.Text(), "1");
  form.FrequencyField.SetChecked(false);
  form.FieldTitles.SetChecked(false);
  form.AddSelectedField(0);
  form.btnConvertClick();
  form.WaitForConversion();
  // N = 1: every GPS record writes the mean since the last; the second found nothing new.
  EXPECT_EQ(Lines(ReadFile(form.OutputFilename.Text())),
            (std::vector<std::string>{"-81", "-81", "-90"}));
  // With "Best Server" checked as well, best server wins: one line per data record.
  form.BSAvg.SetChecked(true);
  EXPECT_TRUE(form.rbORPS.Checked());
  form.btnConvertClick();
  form.WaitForConversion();
  EXPECT_EQ(Lines(ReadFile(form.OutputFilename.Text())),
            (std::vector<std::string>{"-80", "-82", "-90"}));
}

// A reader that counts its records with their receiver clock while gathering: each 4-byte
// record is day, hour, minute and second.
class ClockReader : public ProductConverter {
 public:
  ClockReader() : ProductConverter(kProductKesDump) {}
  int ReadRecord(std::uint8_t* buffer) override { return Input.ReadExact(buffer, 4) ? 4 : 0; }
  int16_t ParseRecord(std::uint8_t* r) override {
    ++parsed;
    if (Gathering().Active()) Gathering().Record(r[0], r[1], r[2], r[3]);
    return kActionNone;
  }
  int parsed = 0;
};

class MakeListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.AutoIndex = false;
    form.CurrentConverter = &reader;
  }
  void TearDown() override {
    form.GeneratorDlg.StopWorker();
    form.CurrentConverter = form.Converters().ForCode(kProductTarvik);
  }
  std::string Log(const std::vector<std::array<std::uint8_t, 4>>& clocks) {
    Bytes b;
    for (const auto& c : clocks) b.U8(c[0]).U8(c[1]).U8(c[2]).U8(c[3]);
    const std::string path = dir.File("drive.kes");
    WriteFile(path, b.Data());
    form.InputFilename.SetText(path);
    return path;
  }
  ScratchDir dir;
  TestHost host;
  TMainForm form{host};
  ClockReader reader;
};

TEST_F(MakeListTest, CountsRecordsOverTheDistinctClockSeconds) {
  // Ten records in three seconds; the clock steps back once into a second already seen.
  const std::string path = Log({{15, 10, 0, 1},
                                {15, 10, 0, 1},
                                {15, 10, 0, 1},
                                {15, 10, 0, 2},
                                {15, 10, 0, 2},
                                {15, 10, 0, 2},
                                {15, 10, 0, 1},
                                {15, 10, 0, 3},
                                {15, 10, 0, 3},
                                {15, 10, 0, 3}});
  TMakeList pass(form, form.GeneratorDlg);
  pass.Run();
  EXPECT_TRUE(pass.Completed());
  EXPECT_EQ(host.MessageLines(),
            (std::vector<std::string>{"Information: Information Has Been Gathered!",
                                      "Information: 10 Records\n3 Seconds\n3 Records Per Second"}));
  EXPECT_EQ(reader.Gathering().RecordsPerSecond(), 3);
  EXPECT_FALSE(reader.Gathering().Active());
  EXPECT_EQ(reader.parsed, 10);
  EXPECT_EQ(form.GeneratorDlg.GatheredFile(), path);
  EXPECT_EQ(form.GeneratorDlg.PercentComplete.Caption(), "100% Complete");
  EXPECT_EQ(form.GeneratorDlg.ProgressBar.Position(), 0);  // reset at the end
  EXPECT_FALSE(reader.Source().IsOpen());
}

TEST_F(MakeListTest, DamagedClocksStillCountOneSecondEach) {
  Log({{255, 99, 200, 61}, {255, 99, 200, 61}, {0, 0, 0, 0}});
  TMakeList pass(form, form.GeneratorDlg);
  pass.Run();
  EXPECT_EQ(reader.Gathering().Seconds(), 2);
  EXPECT_EQ(reader.Gathering().RecordsPerSecond(), 1);
}

TEST_F(MakeListTest, AnEmptyFileCountsNothingAndKeepsOneRecordPerSecond) {
  Log({});
  reader.Gathering().SetRecordsPerSecond(7);
  TMakeList pass(form, form.GeneratorDlg);
  pass.Run();
  EXPECT_EQ(reader.parsed, 0);
  EXPECT_EQ(host.MessageLines(),
            (std::vector<std::string>{"Information: Information Has Been Gathered!",
                                      "Information: 0 Records\n0 Seconds\n1 Records Per Second"}));
  EXPECT_EQ(reader.Gathering().RecordsPerSecond(), 1);
  EXPECT_EQ(form.GeneratorDlg.PercentComplete.Caption(), "0% Complete");
}

TEST_F(MakeListTest, AMissingFileIsReportedAndChangesNothing) {
  form.InputFilename.SetText(dir.File("missing.kes"));
  reader.Gathering().SetRecordsPerSecond(7);
  TMakeList pass(form, form.GeneratorDlg);
  pass.Run();
  EXPECT_FALSE(pass.Completed());
  EXPECT_EQ(host.MessageLines(), (std::vector<std::string>{"Error: Input File Does Not Exist!"}));
  EXPECT_EQ(reader.Gathering().RecordsPerSecond(), 7);
  EXPECT_FALSE(reader.Gathering().Active());
}

TEST_F(MakeListTest, ExitStopsThePassWithoutAMessage) {
  std::vector<std::array<std::uint8_t, 4>> clocks(5000, {1, 2, 3, 4});
  const std::string path = Log(clocks);
  // "Exit" pressed while the gauge shows 10%: the pass ends at the next record.
  TGeneratorDlg& dialog = form.GeneratorDlg;
  dialog.SetVisible(true);
  dialog.ProgressBar.Changed = [&dialog] {
    if (dialog.ProgressBar.Position() >= 10) dialog.CancelBtnClick();
  };
  dialog.OKBtnClick();
  dialog.WaitForWorker();
  dialog.ProgressBar.Changed = nullptr;
  EXPECT_FALSE(dialog.Visible());
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_GE(reader.parsed, 500);
  EXPECT_LT(reader.parsed, 600);
  EXPECT_TRUE(reader.Gathering().Active());  // until the next completed pass
  EXPECT_EQ(reader.Gathering().RecordsPerSecond(), 1);
  EXPECT_EQ(dialog.GatheredFile(), "");
  EXPECT_EQ(dialog.ProgressBar.Position(), 0);
  EXPECT_FALSE(reader.Source().IsOpen());
  // "Generate" again runs a new pass to the end.
  reader.parsed = 0;
  dialog.OKBtnClick();
  dialog.WaitForWorker();
  EXPECT_EQ(reader.parsed, 5000);
  EXPECT_EQ(reader.Gathering().RecordsPerSecond(), 5000);
  EXPECT_EQ(dialog.GatheredFile(), path);
}

}  // namespace
}  // namespace polvane
