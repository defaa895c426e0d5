// The folder chooser of the multiple-files mode: the folders as a tree opened at the current
// folder, an edit field with the folder to hand back, and "OK".
#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace polvane {

class TOpenFolderDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TOpenFolderDlg(QWidget* parent = nullptr);

  // Shows the chooser modally and returns the chosen folder: the text of edFolder at the last
  // "OK" (empty if there was none). Closing by the frame keeps the previous choice.
  QString Choose();
  QString ChosenFolder() const { return chosen_; }

  QLineEdit* edFolder() const { return edFolder_; }
  QTreeView* DirectoryList() const { return tree_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  void ShowCurrentFolder();
  void OkClick();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLineEdit* edFolder_;
  QPushButton* ok_;
  QString chosen_;
};

}  // namespace polvane
