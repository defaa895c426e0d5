// The wait window shown, without being modal, while a file is indexed. Its Cancel button (or
// Escape) asks for the index pass to stop.
#pragma once

#include <QDialog>

namespace polvane {

class PercentGauge;

class TWaitDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TWaitDlg(QWidget* parent = nullptr);

  PercentGauge* ProgressBar() const { return gauge_; }
  // Shows the window in the middle of the screen, leaving the main window usable.
  void ShowCentred();

 signals:
  void CancelClicked();

 protected:
  void reject() override;

 private:
  PercentGauge* gauge_;
};

// Moves a window to the middle of the screen it is on.
void CentreOnScreen(QWidget* window);

}  // namespace polvane
