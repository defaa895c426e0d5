// The help window: the user manual in a read-only text area, shown beside the main window.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace polvane {

// The user manual as rich text.
QString UserManualHtml();

class THelp_Form : public QDialog {
  Q_OBJECT

 public:
  explicit THelp_Form(QWidget* parent = nullptr);

  // Shows the window without making it modal; brings it forward when it is already shown.
  void ShowManual();
  QTextBrowser* Manual() const { return manual_; }

 private:
  QTextBrowser* manual_;
};

}  // namespace polvane
