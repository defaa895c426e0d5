// The window model's threshold, traffic and one-record-per-N-metres controls: which products
// offer them, the dialogs their OPTIONS open, the settings the run takes from them, what the
// window refuses, and their keys in a configuration file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

using namespace testing;

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class ReductionForm : public WindowModelTest {
 protected:
  void SetUp() override { form.AutoIndex = false; }
  void Choose(std::int16_t code) { form.InputFormatGroup.SetItemIndex(code); }
};

TEST_F(ReductionForm, OptionsOpenTheDialogsWhoseValuesTheRunTakes) {
  Choose(kProductTarvik);
  ASSERT_TRUE(form.btnThreshold.Enabled());
  ASSERT_TRUE(form.btnTraffic.Enabled());
  form.btnThresholdClick();
  EXPECT_TRUE(form.ThresholdDlg.Visible());
  form.ThresholdDlg.comboField.SetItemIndex(1);
  form.ThresholdDlg.comboComparator.SetItemIndex(3);
  form.ThresholdDlg.edValue.SetText("25.5");
  form.ThresholdDlg.OKBtnClick();
  form.btnTrafficClick();
  EXPECT_TRUE(form.TrafficDlg.Visible());
  form.TrafficDlg.Minutes.SetChecked(true);
  form.TrafficDlg.Distance.SetText("0.06");
  form.TrafficDlg.Time.SetText("45");
  form.TrafficDlg.OKBtnClick();
  form.ORPM_Value.SetText("250");

  // Nothing is applied until its choice is checked.
  EXPECT_FALSE(form.CurrentLineReduction().Active());
  form.RadioButton2.SetChecked(true);
  form.cbTraffic.SetChecked(true);
  form.rbORPM.SetChecked(true);
  const LineReduction r = form.CurrentLineReduction();
  EXPECT_EQ(r.Limit.Field, ThresholdField::Velocity);
  EXPECT_EQ(r.Limit.Compare, Comparator::LessEqual);
  EXPECT_EQ(r.Limit.Value, 25.5);
  EXPECT_TRUE(r.Traffic.On);
  EXPECT_DOUBLE_EQ(r.Traffic.Degrees, 0.001);
  EXPECT_EQ(r.Traffic.Seconds, 45);
  EXPECT_EQ(r.PerMetres, 250);
  EXPECT_EQ(form.LineReductionRefusal(), "");
  // The filters go with best server, and best server stays the readers' mode.
  form.BSAvg.SetChecked(true);
  EXPECT_TRUE(form.RadioButton2.Checked());
  EXPECT_TRUE(form.cbTraffic.Checked());
  EXPECT_EQ(form.CurrentReductionMode(), kReduceBestServer);
}

TEST_F(ReductionForm, AProductWithoutPositionsOrSpeedIsRefusedWhatItCannotGive) {
  Choose(kProductTarvik);
  form.cbTraffic.SetChecked(true);
  form.rbORPM.SetChecked(true);
  Choose(kProductDrovel);  // no positions: both fall back
  EXPECT_FALSE(form.cbTraffic.Checked());
  EXPECT_TRUE(form.cbAT_None.Checked());
  EXPECT_FALSE(form.rbORPM.Visible());
  EXPECT_FALSE(form.CurrentLineReduction().Active());

  Choose(kProductSelvor);
  form.RadioButton2.SetChecked(true);
  form.ThresholdDlg.comboField.SetItemIndex(1);  // Velocity
  EXPECT_NE(form.LineReductionRefusal().find("QVX Selvor logs carry no GPS speed"),
            std::string::npos);
  form.ThresholdDlg.comboField.SetItemIndex(0);
  EXPECT_EQ(form.LineReductionRefusal(), "");
  form.ThresholdDlg.edValue.SetText("-9O");
  EXPECT_NE(form.LineReductionRefusal().find("not \"-9O\""), std::string::npos);
  form.ThresholdDlg.edValue.SetText("-90");
  form.RSSIField.SetChecked(false);
  EXPECT_NE(form.LineReductionRefusal().find("RSSI data column"), std::string::npos);
  form.RSSIField.SetChecked(true);
  form.cbTraffic.SetChecked(true);
  form.TrafficDlg.Time.SetText("0");
  EXPECT_NE(form.LineReductionRefusal().find("traffic"), std::string::npos);
  form.TrafficDlg.Time.SetText("30");
  form.rbORPM.SetChecked(true);
  form.ORPM_Value.SetText("x");
  EXPECT_NE(form.LineReductionRefusal().find("1 Rec per N meters"), std::string::npos);
}

TEST_F(ReductionForm, TheChannelListGoesWithTheReadersThatKeepIt) {
  for (std::int16_t code : {1, 2, 3, 4, 5, 7, 8, 9}) {
    Choose(code);
    EXPECT_TRUE(form.RadioButton1.Enabled()) << code;
    EXPECT_TRUE(form.btnChannelList.Enabled()) << code;
  }
  Choose(kProductSelvor);
  form.btnChannelListClick();
  EXPECT_TRUE(form.ChannelListDlg.Visible());
  form.ChannelListDlg.edChannels.SetText("100-120,450");
  form.ChannelListDlg.OKBtnClick();
  EXPECT_FALSE(form.ChannelListDlg.Visible());
  EXPECT_TRUE(form.CurrentChannelList().Empty());  // not checked
  form.RadioButton1.SetChecked(true);
  form.BSAvg.SetChecked(true);
  EXPECT_TRUE(form.RadioButton1.Checked());  // it goes with best server
  EXPECT_TRUE(form.CurrentChannelList().Contains(450));
  EXPECT_FALSE(form.CurrentChannelList().Contains(121));
  form.ChannelListDlg.edChannels.SetText("100-");
  EXPECT_NE(form.LineReductionRefusal().find("channel list"), std::string::npos);
}

TEST_F(ReductionForm, ConvertShowsTheRefusalAndWritesNothing) {
  const std::string log = dir.File("s.tvf");
  TarvikLogBuilder b;
  b.Identification("QVX TARVIK", "1.25").Fast({}, {});
  b.WriteTo(log);
  form.ChooseInputFile(log);
  form.OutputFilename.SetText(dir.File("s.out"));
  form.AddSelectedField(0);
  form.RadioButton2.SetChecked(true);
  form.ThresholdDlg.edValue.SetText("loud");
  form.btnConvertClick();
  form.WaitForConversion();
  ASSERT_EQ(host.MessageLines().size(), 1u);
  EXPECT_EQ(host.MessageLines()[0].rfind("Error: Data Reduction Cannot Be Applied! (threshold:", 0),
            0u)
      << host.MessageLines()[0];
  EXPECT_FALSE(std::filesystem::exists(dir.File("s.out")));
}

TEST_F(ReductionForm, AConfigurationRoundTripsEveryChoiceAndAnOldOneLeavesThem) {
  Choose(kProductKesCard);
  form.RadioButton2.SetChecked(true);
  form.ThresholdDlg.comboComparator.SetItemIndex(2);
  form.ThresholdDlg.edValue.SetText("-77");
  form.cbTraffic.SetChecked(true);
  form.TrafficDlg.Minutes.SetChecked(true);
  form.TrafficDlg.Distance.SetText("0.5");
  form.TrafficDlg.Time.SetText("12");
  form.rbORPM.SetChecked(true);
  form.ORPM_Value.SetText("75");
  form.ChannelListDlg.edChannels.SetText("7,9-11");
  form.RadioButton1.SetChecked(true);
  const std::string cfg = dir.File("r.cfg");
  ASSERT_TRUE(form.SaveConfiguration(cfg));

  TestHost otherHost;
  TMainForm other(otherHost);
  other.AutoIndex = false;
  other.LoadConfiguration(cfg);
  EXPECT_EQ(other.InputFormatGroup.ItemIndex(), kProductKesCard);
  EXPECT_TRUE(other.RadioButton2.Checked());
  EXPECT_EQ(other.ThresholdDlg.comboComparator.Text(), "=");
  EXPECT_EQ(other.ThresholdDlg.edValue.Text(), "-77");
  EXPECT_TRUE(other.cbTraffic.Checked());
  EXPECT_TRUE(other.TrafficDlg.Minutes.Checked());
  EXPECT_EQ(other.TrafficDlg.Distance.Text(), "0.5");
  EXPECT_EQ(other.TrafficDlg.Time.Text(), "12");
  EXPECT_TRUE(other.rbORPM.Checked());
  EXPECT_EQ(other.ORPM_Value.Text(), "75");
  EXPECT_EQ(other.ChannelListDlg.edChannels.Text(), "7,9-11");
  EXPECT_TRUE(other.RadioButton1.Checked());
  EXPECT_TRUE(other.CurrentChannelList().Contains(10));

  // A file from before the section: the choices stay as the window has them.
  const std::string old = dir.File("old.cfg");
  WriteText(old, "[Product]\r\nInputFormat=3\r\n[OutputFilter]\r\nNoAvg=1\r\n");
  other.LoadConfiguration(old);
  EXPECT_TRUE(other.RadioButton2.Checked());
  EXPECT_TRUE(other.rbORPM.Checked());
  EXPECT_EQ(other.ThresholdDlg.edValue.Text(), "-77");

  Choose(kProductDrovel);
  form.RadioButton1.SetChecked(true);
  ASSERT_TRUE(form.SaveConfiguration(cfg));
  other.LoadConfiguration(cfg);
  EXPECT_TRUE(other.RadioButton1.Checked());
}

}  // namespace
}  // namespace polvane
