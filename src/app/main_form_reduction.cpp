// The reductions over the lines: threshold, traffic and one record per N metres, their
// controls in the main window and the settings the record loop takes from them.
#include <string>

#include "app/main_form.h"
#include "convert/identify.h"
#include "convert/product_rows.h"

namespace polvane {

void TMainForm::ApplyLineReductionChoices(std::int16_t code) {
  const ProductRow* product = FindProduct(code);
  const bool positions = product && product->Positions;
  const bool channels = product && product->Channels;
  const bool known = code != kProductNone;
  RadioButton2.SetEnabled(known);
  btnThreshold.SetEnabled(known);
  if (!known) RadioButton2.SetChecked(false);
  RadioButton1.SetEnabled(channels);
  btnChannelList.SetEnabled(channels);
  if (!channels) RadioButton1.SetChecked(false);
  cbTraffic.SetEnabled(positions);
  btnTraffic.SetEnabled(positions);
  if (!positions) cbTraffic.SetChecked(false);
  for (Control* c : {static_cast<Control*>(&rbORPM), static_cast<Control*>(&ORPM_Value)}) {
    c->SetEnabled(positions);
    c->SetVisible(positions);
  }
  if (!positions && rbORPM.Checked()) cbAT_None.SetChecked(true);
}

void TMainForm::btnThresholdClick() {
  ThresholdDlg.SetVisible(true);
}

void TMainForm::btnTrafficClick() {
  TrafficDlg.SetVisible(true);
}

void TMainForm::btnChannelListClick() {
  ChannelListDlg.SetVisible(true);
}

ChannelList TMainForm::CurrentChannelList() const {
  ChannelList list;
  std::string why;
  if (RadioButton1.Checked() && RadioButton1.Enabled())
    list.Parse(ChannelListDlg.edChannels.Text(), why);
  return list;
}

LineReduction TMainForm::CurrentLineReduction() const {
  LineReduction r;
  std::string why;
  if (RadioButton2.Checked() && RadioButton2.Enabled())
    MakeThreshold(ThresholdDlg.comboField.Text(), ThresholdDlg.comboComparator.Text(),
                  ThresholdDlg.edValue.Text(), r.Limit, why);
  if (cbTraffic.Checked() && cbTraffic.Enabled()) {
    double distance = 0, seconds = 0;
    if (ParseNumber(TrafficDlg.Distance.Text(), distance) && distance > 0 &&
        ParseNumber(TrafficDlg.Time.Text(), seconds) && seconds > 0) {
      r.Traffic.On = true;
      r.Traffic.Degrees = TrafficDlg.Minutes.Checked() ? distance / 60 : distance;
      r.Traffic.Seconds = seconds;
    }
  }
  if (rbORPM.Checked() && rbORPM.Enabled()) {
    double metres = 0;
    if (ParseNumber(ORPM_Value.Text(), metres) && metres > 0) r.PerMetres = metres;
  }
  return r;
}

std::string TMainForm::LineReductionRefusal() const {
  const std::int16_t code = static_cast<std::int16_t>(InputFormatGroup.ItemIndex());
  const ProductRow* row = FindProduct(code);
  const bool speed = row && row->Speed;
  const std::string product = ProductLabel(code);
  const bool fixed = FixedLayout.load();
  if (RadioButton2.Checked() && RadioButton2.Enabled()) {
    Threshold t;
    std::string why;
    if (!MakeThreshold(ThresholdDlg.comboField.Text(), ThresholdDlg.comboComparator.Text(),
                       ThresholdDlg.edValue.Text(), t, why))
      return "threshold: " + why;
    if (t.Field == ThresholdField::Velocity && !speed)
      return "threshold: " + product + " logs carry no GPS speed to compare";
    if (t.Field == ThresholdField::Rssi && fixed)
      return "threshold: the RSSI threshold applies to delimited lines, not to a fixed layout";
    if (t.Field == ThresholdField::Rssi && !(RSSIField.Checked() && RSSIField.Enabled()))
      return "threshold: the RSSI threshold needs the RSSI data column";
  }
  if (RadioButton1.Checked() && RadioButton1.Enabled()) {
    ChannelList list;
    std::string why;
    if (!list.Parse(ChannelListDlg.edChannels.Text(), why)) return "channel list: " + why;
    if (fixed) return "the channel list applies to delimited lines, not to a fixed layout";
  }
  if (cbTraffic.Checked() && cbTraffic.Enabled()) {
    double distance = 0, seconds = 0;
    if (!ParseNumber(TrafficDlg.Distance.Text(), distance) || !(distance > 0))
      return "traffic: the distance is a number above 0, not \"" + TrafficDlg.Distance.Text() +
             "\"";
    if (!ParseNumber(TrafficDlg.Time.Text(), seconds) || !(seconds > 0))
      return "traffic: the span is a number of seconds above 0, not \"" + TrafficDlg.Time.Text() +
             "\"";
  }
  if (rbORPM.Checked() && rbORPM.Enabled()) {
    double metres = 0;
    if (!ParseNumber(ORPM_Value.Text(), metres) || !(metres > 0))
      return "1 Rec per N meters: N is a number of metres above 0, not \"" + ORPM_Value.Text() +
             "\"";
    if (fixed) return "1 Rec per N meters applies to delimited lines, not to a fixed layout";
  }
  return {};
}

}  // namespace polvane
