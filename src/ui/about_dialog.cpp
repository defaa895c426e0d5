#include "ui/about_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/wait_dialog.h"

namespace polvane {

QPixmap ProductPicture(int width, int height) {
  QPixmap picture(width, height);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor navy(0, 0, 128);

  // The receiver's case with its display and keys.
  const QRectF body(width * 0.08, height * 0.50, width * 0.64, height * 0.42);
  p.setPen(QPen(navy, 2));
  p.setBrush(QColor(200, 205, 215));
  p.drawRoundedRect(body, 4, 4);
  const QRectF display(body.left() + body.width() * 0.08, body.top() + body.height() * 0.18,
                       body.width() * 0.52, body.height() * 0.46);
  p.setBrush(QColor(40, 90, 60));
  p.drawRect(display);
  p.setPen(QPen(QColor(150, 255, 150), 1.5));
  QPainterPath trace;
  for (int i = 0; i <= 20; ++i) {
    const double x = display.left() + display.width() * i / 20.0;
    const double level = (i * 7 % 5 + (i % 3) * 2) / 10.0;
    const double y = display.bottom() - display.height() * (0.15 + 0.7 * level);
    if (i == 0)
      trace.moveTo(x, y);
    else
      trace.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.drawPath(trace);
  p.setPen(QPen(navy, 1));
  p.setBrush(navy);
  for (int k = 0; k < 3; ++k)
    p.drawEllipse(
        QPointF(body.left() + body.width() * (0.72 + 0.1 * k), body.top() + body.height() * 0.42),
        body.height() * 0.07, body.height() * 0.07);

  // The antenna and the waves it picks up.
  const QPointF foot(body.right() - body.width() * 0.12, body.top());
  const QPointF tip(foot.x(), height * 0.12);
  p.setPen(QPen(navy, 2.5));
  p.drawLine(foot, tip);
  p.setPen(QPen(QColor(0, 0, 255), 2));
  p.setBrush(Qt::NoBrush);
  for (int k = 1; k <= 3; ++k) {
    const double r = width * 0.07 * k;
    const QRectF arc(tip.x() - r, tip.y() - r, 2 * r, 2 * r);
    p.drawArc(arc, 30 * 16, 60 * 16);
    p.drawArc(arc, 90 * 16, 60 * 16);
  }
  return picture;
}

namespace {

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDlg"));
  setWindowTitle(QStringLiteral("About Polvane"));

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("ProgramIcon"));
  picture->setPixmap(ProductPicture(112, 84));

  auto* version = new QLabel(QStringLiteral("Version 5.52"), this);
  version->setObjectName(QStringLiteral("Version"));
  auto* product = new QLabel(QStringLiteral("Polvane (CW Edition)"), this);
  product->setObjectName(QStringLiteral("ProductName"));
  QFont big = product->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.3);
  product->setFont(big);

  auto* trademarks = new QGroupBox(QStringLiteral("Trademarks"), this);
  auto* trademarkLayout = new QVBoxLayout(trademarks);
  trademarkLayout->addWidget(WrappedLabel(
      QStringLiteral("The names of other makers' products that this program shows are trademarks "
                     "of those makers."),
      trademarks));

  auto* introduction = new QGroupBox(QStringLiteral("Introduction"), this);
  auto* introductionLayout = new QVBoxLayout(introduction);
  // The two texts of the introduction read as one paragraph.
  introductionLayout->addWidget(WrappedLabel(
      QStringLiteral("The Polvane is a complimentary utility provided by Zanrovi, Inc. (QVX). The "
                     "Polvane takes the output of QVX CW and CDMA scanning equipment, then "
                     "filters and converts the ") +
          QStringLiteral("data for input into many of the leading post-processing applications "
                         "in the industry."),
      introduction));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* head = new QHBoxLayout;
  head->addWidget(picture);
  auto* names = new QVBoxLayout;
  names->addStretch();
  names->addWidget(product);
  names->addWidget(version);
  names->addStretch();
  head->addLayout(names, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(trademarks);
  layout->addWidget(introduction);
  layout->addWidget(ok, 0, Qt::AlignHCenter);

  // A fixed box, as tall as its wrapped texts need at its width.
  constexpr int kWidth = 440;
  setFixedWidth(kWidth);
  setFixedHeight(layout->hasHeightForWidth() ? layout->heightForWidth(kWidth)
                                             : sizeHint().height());
}

void TAboutDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

}  // namespace polvane
