#include "ui/wait_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/gauge.h"

namespace polvane {

void CentreOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

TWaitDlg::TWaitDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("WaitDlg"));
  setWindowTitle(QStringLiteral("Wait"));
  setFixedSize(313, 136);
  setModal(false);

  auto* bevel = new QFrame(this);
  bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  bevel->setLineWidth(2);

  auto* label = new QLabel(QStringLiteral("Please Wait While the File is Indexed!"), bevel);
  label->setObjectName(QStringLiteral("WaitLabel"));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  QPalette navy = label->palette();
  navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
  label->setPalette(navy);

  gauge_ = new PercentGauge(QColor(0, 0, 255), bevel);
  gauge_->setObjectName(QStringLiteral("ProgressBar"));

  auto* cancel = new QPushButton(tr("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, [this] { emit CancelClicked(); });

  auto* inner = new QVBoxLayout(bevel);
  inner->setContentsMargins(6, 4, 6, 4);
  inner->setSpacing(4);
  inner->addWidget(label, 1);
  inner->addWidget(gauge_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(6);
  outer->addWidget(bevel, 1);
  outer->addWidget(cancel, 0, Qt::AlignHCenter);
}

void TWaitDlg::reject() {
  // Escape stops the pass as the button does; the pass hides the window when it ends.
  emit CancelClicked();
}

void TWaitDlg::ShowCentred() {
  show();
  CentreOnScreen(this);
}

}  // namespace polvane
