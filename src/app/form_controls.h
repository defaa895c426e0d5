// The controls of the main window with their captions and initial states. The handlers of the
// window model (TMainForm) change them; the Qt view mirrors them; a run takes its settings from
// them once, when it starts (ControlSettings), and the readers see only that value.
#pragma once

#include <array>

#include "app/controls.h"
#include "convert/conversion_settings.h"
#include "products/product_table.h"

namespace polvane {

// The items of the input-format list, from the products table: the item index is the code.
inline const std::vector<std::string> kInputFormatItems = InputFormatItems();

inline const std::vector<std::string> kOutputFormatItems = {"Comarco Workbench",
                                                            "EDX SignalPro",
                                                            "Expert Wireless MaXPlan",
                                                            "Grayson IQ Analyzer",
                                                            "MapInfo (w/ dB Planner)",
                                                            "Microsoft Excel",
                                                            "MLJ PathPro",
                                                            "MSI Planet",
                                                            "SAFCO OPAS32",
                                                            "TEC Cellular Wizard",
                                                            "Teleworx PlotworX",
                                                            "Custom ASCII Configuration",
                                                            "Wireless Valley InFielder",
                                                            "GeoPackage",
                                                            "GeoJSON",
                                                            "KML",
                                                            "ESRI Shapefile"};

struct FormControls {
  FormControls() {
    RadioButton::Join({&rbSingleFile, &rbMultipleFiles});
    // "Channel List", "Threshold" and "Traffic" filter whatever the choice of the other three.
    RadioButton::Join({&NoAvg, &BSAvg, &rbLambda});
    RadioButton::Join({&cbAT_None, &rbORPS, &rbORPM});
  }

  // Step 1: input and output.
  RadioButton rbSingleFile{"Single File", true};
  RadioButton rbMultipleFiles{"Multiple Files"};
  Control InputFormatLabel{"(None)"};
  EditField InputFilename{"", 0, true};
  EditField OutputFilename{"", 0, true};
  EditField edInFolder{"", 0, true};
  EditField edOutFolder{"", 0, true};
  ComboBox cbInputExt{{"*.bin", "*.dvf", "*.kes", "*.pvf", "*.svf", "*.tvf", "*.vub"}, "*.pvf"};
  EditField edOutputExt{".out"};
  EditField edFileCount{"0", 0, true};
  CheckBox cbSplit{"Excel Split"};
  RadioGroup InputFormatGroup{"Input Format", kInputFormatItems, 0, false, false};
  RadioGroup ScanTypeGroup{"Scan Type", {"Scan Table", "Fast Data"}, 1, false, false};
  RadioGroup DrovelMode{"Scan Mode", {"1 Channel", "3 Channel", "Scan Table"}, 0, false, false};

  // Step 2: formatting options.
  CheckBox Receiver1{"1", true};
  CheckBox Receiver2{"2"};
  CheckBox Receiver3{"3"};
  CheckBox Receiver4{"4"};
  RadioButton NoAvg{"Convert All Data", true};
  RadioButton BSAvg{"Best Server"};
  // 40-wavelength averaging, for the products whose readers average; "OPTIONS" opens the
  // Lambda dialog.
  RadioButton rbLambda{"40 Lambda", false, false};
  Control btnLambda{"OPTIONS", false};
  // "Channel List" and "Threshold" are toggles beside the choice above (the view shows them as
  // check boxes); their "OPTIONS" open the channel-list and threshold dialogs.
  RadioButton RadioButton1{"Channel List", false, false};
  Control btnChannelList{"OPTIONS", false};
  RadioButton RadioButton2{"Threshold", false, false};
  Control btnThreshold{"OPTIONS", false};
  // Traffic averaging, for the products whose records carry positions and GPS times; "OPTIONS"
  // opens the traffic dialog.
  CheckBox cbTraffic{"Traffic", false, false};
  Control btnTraffic{"OPTIONS", false};
  RadioButton cbAT_None{"None", true};
  RadioButton rbORPS{"1 Rec per", false, false, false};
  EditField ORPS_Value{"1", 0, false, false, false};
  RadioButton rbORPM{"1 Rec per ", false, false, false};
  EditField ORPM_Value{"100", 0, false, false, false};
  // Shown and enabled, so that the presets and the fixed layouts can be chosen.
  ComboBox OutputFormatGroup{kOutputFormatItems, "Custom ASCII Configuration"};

  // Step 3: fields.
  ListBox AvailableBox;
  ListBox SelectedBox;
  CheckBox FieldTitles{"Header", true};
  Control SelectField{">"};
  Control DeselectField{"<"};
  Control SelectAll{">>"};
  Control DeselectAll{"<<"};
  RadioGroup DelimiterGroup{"Field Delimiter", {"Comma", "Semi-Colon", "Tab", "Space", "Other"}, 0};
  EditField OtherDelimiter{":", 1};
  CheckBox FrequencyField{"Freq (MHz)", true};
  CheckBox ChannelField{"Channel"};
  CheckBox RSSIField{"RSSI", true};
  CheckBox SATField{"SAT/DCC", false, false};
  CheckBox VMACField{"VMAC", false, false};

  // Step 4.
  Control btnConvert{"CONVERT"};
  Control btnCancel{"CANCEL"};

  // Status bar.
  Gauge ProgressBar;

  void EnableSelectionButtons(bool on) {
    for (Control* b : {&SelectField, &DeselectField, &SelectAll, &DeselectAll}) b->SetEnabled(on);
  }

  // The window's own array of the receiver boxes, in order.
  std::array<CheckBox*, 4> ReceiverBoxes{&Receiver1, &Receiver2, &Receiver3, &Receiver4};
};

// The delimiter that the delimiter group and the "Other" field give.
char ChosenDelimiter(const FormControls& form);
// The reduction mode of the reduction buttons.
std::int16_t ChosenReductionMode(const FormControls& form);
// The settings the controls give as they stand: product, scan type, receivers, data boxes,
// header, delimiter, reduction mode and per-seconds value, output format and name, split. The
// window model adds what lies outside the controls (the fixed-layout state, the dialogs'
// threshold, traffic and channel choices).
ConversionSettings ControlSettings(const FormControls& form);

}  // namespace polvane
