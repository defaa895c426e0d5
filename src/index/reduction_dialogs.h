// The option dialogs of data reduction as headless models: 40-wavelength averaging, traffic
// averaging, the threshold filter, and the average-information dialog with its worker. Each
// dialog is a control whose caption is the window's caption and whose visibility is the
// window's; the Qt views mirror them.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "app/controls.h"
#include "convert/product_converter.h"

namespace polvane {

class TMainForm;
class TMakeList;

inline constexpr const char* kLambdaCaption = "40 Lambda Averaging";
inline constexpr const char* kLambdaText =
    "Enter the average speed of the vehicle for the drive study.  The resulting data will provide "
    "a single averaged point for every 40 wavelengths of driving distance.";

class TLambdaDlg : public Control {
 public:
  TLambdaDlg() : Control(kLambdaCaption, true, false) {
    RadioButton::Join({&MPHchoice, &KMHchoice});
  }

  Control Text{kLambdaText};
  Control SpeedLabel{"Average Speed"};
  EditField LambdaSpeed{"30"};
  RadioButton MPHchoice{"MPH", true};
  RadioButton KMHchoice{"KM / H"};
  Control OKBtn{"OK"};

  // The speed of the dialog in metres per second: the number the text reads as (0 when it is
  // not a number), in miles per hour when "MPH" is checked, else in kilometres per hour.
  double MetresPerSecond() const;
  // Whether the speed text is a number as a whole (blanks around it aside), not only at its
  // beginning: a conversion with 40-wavelength averaging needs one.
  bool SpeedIsNumber() const;
  void OKBtnClick() { SetVisible(false); }
};

// The number a text reads as, the way a standard string-to-double conversion reads its leading
// part (blanks, a sign, digits with a decimal point, an exponent), under any locale; 0 when the
// text does not begin with a number.
double ReadDecimal(const std::string& text);

inline constexpr const char* kTrafficCaption = "Traffic Averaging";

class TTrafficDlg : public Control {
 public:
  TTrafficDlg() : Control(kTrafficCaption, true, false) { RadioButton::Join({&Degrees, &Minutes}); }

  // The sentence, in order: text, Distance, the unit choice, text, Time, text, text.
  Control Text1{"If the vehicle has not travelled "};
  EditField Distance{".0005"};
  RadioButton Degrees{"degrees", true};
  RadioButton Minutes{"minutes"};
  Control Text2{"in the span of "};
  EditField Time{"30"};
  Control Text3{"seconds"};
  Control Text4{", drop all of the points until the required distance has been travelled."};
  Control OKBtn{"OK"};

  void OKBtnClick() { SetVisible(false); }
};

inline constexpr const char* kThresholdCaption = "Data Reduction via Threshold";
inline constexpr const char* kThresholdText =
    "Please choose a field-value combination for eliminating data records which do not meet the "
    "criteria selected below. (e.g. RSSI > -90 dBm)";

class TThresholdDlg : public Control {
 public:
  TThresholdDlg() : Control(kThresholdCaption, true, false) {
    comboField.SetItemIndex(0);
    comboComparator.SetItemIndex(0);
  }

  Control Text{kThresholdText};
  ComboBox comboField{{"RSSI", "Velocity"}, "RSSI"};
  ComboBox comboComparator{{">", ">=", "=", "<=", "<"}, ">"};
  EditField edValue{"-100"};
  Control OKBtn{"OK"};

  void OKBtnClick() { SetVisible(false); }
};

inline constexpr const char* kChannelListCaption = "Channel List";
inline constexpr const char* kChannelListText =
    "Please enter the channels to convert: single channels and ranges, separated by commas "
    "(e.g. 100-120,450). The data group keeps only these channels, and Best Server chooses "
    "among them.";

class TChannelListDlg : public Control {
 public:
  TChannelListDlg() : Control(kChannelListCaption, true, false) {}

  Control Text{kChannelListText};
  EditField edChannels{""};
  Control OKBtn{"OK"};

  void OKBtnClick() { SetVisible(false); }
};

inline constexpr const char* kGeneratorCaption = "Generate Average Information";
inline constexpr const char* kGeneratorText =
    "Polvane will now generate the necessary average information which is needed for performing "
    "the conversion using the selected filter. This may take a few minutes.";

// The average-information dialog: "Generate" runs TMakeList over the main window's input file
// and leaves RecordsPerSecond in the current converter; "Exit" stops the pass and closes.
class TGeneratorDlg : public Control {
 public:
  explicit TGeneratorDlg(TMainForm& form);
  ~TGeneratorDlg() override;

  Control Text{kGeneratorText};
  Control PercentComplete{"0% Complete"};
  Gauge ProgressBar;
  Control OKBtn{"Generate"};
  Control CancelBtn{"Exit"};

  // "Generate": the previous worker, if any, is stopped and destroyed; a new one starts.
  void OKBtnClick();
  // "Exit": asks the latest worker to stop; the dialog closes.
  void CancelBtnClick();

  // The latest worker (nullptr before the first "Generate").
  TMakeList* Worker() const { return worker_.get(); }
  // Waits for the latest worker to end, or asks it to stop first.
  void WaitForWorker();
  void StopWorker();
  bool Gathering() const;

  // The input file whose pass last completed ("" when none has).
  std::string GatheredFile() const;
  void SetGatheredFile(std::string path);

 private:
  TMainForm& form_;
  std::unique_ptr<TMakeList> worker_;
  mutable std::mutex gatheredLock_;
  std::string gatheredFile_;
};

}  // namespace polvane
