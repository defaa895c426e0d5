#include "ui/help_window.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace polvane {

THelp_Form::THelp_Form(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Help_Form"));
  setWindowTitle(QStringLiteral("Polvane Help"));
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setSizeGripEnabled(true);
  setModal(false);

  manual_ = new QTextBrowser(this);
  manual_->setObjectName(QStringLiteral("RichEdit1"));
  manual_->setReadOnly(true);
  manual_->setOpenLinks(false);
  manual_->setHtml(UserManualHtml());
  manual_->resize(673, 393);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(manual_, 1);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  resize(696, 480);
}

void THelp_Form::ShowManual() {
  show();
  raise();
  activateWindow();
}

}  // namespace polvane
