// The about box: the product picture, the version and a short introduction.
#pragma once

#include <QDialog>
#include <QPixmap>

namespace polvane {

class TAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutDlg(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
};

// The picture of the about box: a scanning receiver with its antenna on the air.
QPixmap ProductPicture(int width, int height);

}  // namespace polvane
