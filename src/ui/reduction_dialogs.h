// The windows of the data-reduction dialogs: views of the dialog models of TMainForm. Each
// window is shown while its model is visible and mirrors the model's controls both ways; the
// buttons run the model's handlers.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "index/reduction_dialogs.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace polvane {

// What the dialog windows share: the bindings of the model's controls and the following of the
// model's visibility.
class ReductionDialog : public QDialog {
  Q_OBJECT

 public:
  ReductionDialog(Control& model, QWidget* parent, bool modal);

  // Closing the window by its frame or by Esc closes the model too.
  void done(int result) override;

  // Hooks `refresh` to the control's changes (run on the GUI thread), once Bind runs.
  void Mirror(Control& control, std::function<void()> refresh);

 protected:  // Binds every Mirror so far and follows the model's visibility.
  void Bind();
  // What "closing by the frame" does in the model.
  virtual void CloseModel() { model_.SetVisible(false); }
  void RunOnGui(std::function<void()> fn);

 private:
  void FollowModel();

  Control& model_;
  std::vector<std::pair<Control*, std::function<void()>>> mirrors_;
};

class LambdaDialog : public ReductionDialog {
  Q_OBJECT

 public:
  LambdaDialog(TLambdaDlg& model, QWidget* parent = nullptr);
};

class TrafficDialog : public ReductionDialog {
  Q_OBJECT

 public:
  TrafficDialog(TTrafficDlg& model, QWidget* parent = nullptr);
};

class ThresholdDialog : public ReductionDialog {
  Q_OBJECT

 public:
  ThresholdDialog(TThresholdDlg& model, QWidget* parent = nullptr);
};

class ChannelListDialog : public ReductionDialog {
  Q_OBJECT

 public:
  ChannelListDialog(TChannelListDlg& model, QWidget* parent = nullptr);
};

inline constexpr int kGeneratorWidth = 319;
inline constexpr int kGeneratorHeight = 215;

class GeneratorDialog : public ReductionDialog {
  Q_OBJECT

 public:
  GeneratorDialog(TGeneratorDlg& model, QWidget* parent = nullptr);

 protected:
  void CloseModel() override { generator_.CancelBtnClick(); }

 private:
  TGeneratorDlg& generator_;
};

}  // namespace polvane
