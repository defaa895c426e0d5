// The map-output dialog: the three signal levels in dBm that part the drive-test bands of the map
// and of the KML output (green at or above the first, yellow, orange, red below the last), the
// column that colours the points of the map formats instead of the strongest RSSI, and the table
// shape of their attributes (wide or long). OK takes the levels only when they are numbers in
// order; the dialog says what is wrong otherwise and stays open.
#pragma once

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;

namespace polvane {

class TMainForm;

class ColorThresholdsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ColorThresholdsDialog(TMainForm& form, QWidget* parent = nullptr);

  // The form's thresholds into the fields (the usual ones when the form's are not three), and
  // its colour column and table layout.
  void LoadFromForm();
  QLineEdit* Field(int band) const { return fields_[band]; }
  QLineEdit* ColorColumnField() const { return column_; }
  QComboBox* LayoutChoice() const { return layout_; }
  // What is wrong with the fields, once OK found something; empty otherwise.
  QString Problem() const;

  void accept() override;

 private:
  TMainForm& form_;
  std::array<QLineEdit*, 3> fields_{};
  QLineEdit* column_ = nullptr;
  QComboBox* layout_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace polvane
