#include "app/form_controls.h"

namespace polvane {

char ChosenDelimiter(const FormControls& form) {
  switch (form.DelimiterGroup.ItemIndex()) {
    case 0:
      return ',';
    case 1:
      return ';';
    case 2:
      return '\t';
    case 3:
      return ' ';
    case 4: {
      // An empty "Other" field falls back to its default rather than a zero byte.
      const std::string other = form.OtherDelimiter.Text();
      return other.empty() ? ':' : other[0];
    }
    default:
      return '@';
  }
}

std::int16_t ChosenReductionMode(const FormControls& form) {
  if (form.BSAvg.Checked()) return kReduceBestServer;
  if (form.rbLambda.Checked()) return kReduceLambda;
  if (form.rbORPM.Checked()) return kReducePerMeters;
  if (form.rbORPS.Checked()) return kReducePerSeconds;
  return kReduceNone;
}

ConversionSettings ControlSettings(const FormControls& form) {
  ConversionSettings s;
  s.InputFormat = static_cast<std::int16_t>(form.InputFormatGroup.ItemIndex());
  s.ScanType = form.ScanTypeGroup.ItemIndex();
  for (int i = 0; i < 4; ++i) s.Receivers[i] = form.ReceiverBoxes[i]->Checked();
  s.Data.Frequency = form.FrequencyField.Checked();
  s.Data.Channel = form.ChannelField.Checked();
  s.Data.Rssi = form.RSSIField.Checked();
  s.Data.SatDcc = form.SATField.Checked();
  s.Data.Vmac = form.VMACField.Checked();
  s.ReadingCells = 0;
  for (const CheckBox* b :
       {&form.FrequencyField, &form.ChannelField, &form.RSSIField, &form.SATField, &form.VMACField})
    s.ReadingCells += b->Checked() && b->Enabled();
  s.FieldTitles = form.FieldTitles.Checked();
  s.Delimiter = ChosenDelimiter(form);
  s.ReductionMode = ChosenReductionMode(form);
  s.PerSecondsValue = form.ORPS_Value.Text();
  s.OutputFormat = form.OutputFormatGroup.ItemIndex();
  s.OutputFileName = form.OutputFilename.Text();
  s.Split = form.cbSplit.Checked();
  return s;
}

}  // namespace polvane
