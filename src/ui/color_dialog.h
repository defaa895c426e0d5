// The colour-thresholds dialog: the three signal levels in dBm that part the drive-test bands of
// the map and of the KML output (green at or above the first, yellow, orange, red below the
// last). OK takes them only when they are numbers in order; the dialog says what is wrong
// otherwise and stays open.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;

namespace polvane {

class TMainForm;

class ColorThresholdsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ColorThresholdsDialog(TMainForm& form, QWidget* parent = nullptr);

  // The form's thresholds into the fields (the usual ones when the form's are not three).
  void LoadFromForm();
  QLineEdit* Field(int band) const { return fields_[band]; }
  // What is wrong with the fields, once OK found something; empty otherwise.
  QString Problem() const;

  void accept() override;

 private:
  TMainForm& form_;
  std::array<QLineEdit*, 3> fields_{};
  QLabel* problem_ = nullptr;
};

}  // namespace polvane
