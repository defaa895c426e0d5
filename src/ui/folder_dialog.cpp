#include "ui/folder_dialog.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace polvane {

TOpenFolderDlg::TOpenFolderDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OpenFolderDlg"));
  setWindowTitle(QStringLiteral("Choose File Folder"));
  resize(425, 350);

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QDir::rootPath());

  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("DirectoryList"));
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setRootIndex(model_->index(QDir::rootPath()));
  const QModelIndex current = model_->index(QDir::currentPath());
  tree_->setCurrentIndex(current);
  tree_->scrollTo(current);
  tree_->expand(current);

  edFolder_ = new QLineEdit(this);
  edFolder_->setObjectName(QStringLiteral("edFolder"));

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("btnOK"));
  QFont bold = ok_->font();
  bold.setBold(true);
  ok_->setFont(bold);
  ok_->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_, 1);
  layout->addWidget(edFolder_);
  layout->addWidget(ok_, 0, Qt::AlignHCenter);

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { ShowCurrentFolder(); });
  connect(tree_, &QTreeView::clicked, this, [this] { ShowCurrentFolder(); });
  connect(ok_, &QPushButton::clicked, this, [this] { OkClick(); });
  ShowCurrentFolder();
}

void TOpenFolderDlg::ShowCurrentFolder() {
  const QModelIndex current = tree_->currentIndex();
  const QString path = current.isValid() ? model_->filePath(current) : QDir::currentPath();
  edFolder_->setText(QDir::toNativeSeparators(path));
}

void TOpenFolderDlg::OkClick() {
  chosen_ = edFolder_->text();
  accept();
}

QString TOpenFolderDlg::Choose() {
  exec();
  return chosen_;
}

}  // namespace polvane
