#include "ui/gauge.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace polvane {

PercentGauge::PercentGauge(const QColor& fill, QWidget* parent) : QWidget(parent), fill_(fill) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PercentGauge::SetPosition(int percent) {
  percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  if (percent == position_) return;
  position_ = percent;
  update();
}

QSize PercentGauge::sizeHint() const {
  return {200, fontMetrics().height() + 6};
}

QSize PercentGauge::minimumSizeHint() const {
  return {fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8, fontMetrics().height() + 4};
}

void PercentGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect outer = rect();
  p.fillRect(outer, palette().color(QPalette::Base));
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.lineWidth = 1;
  frame.state |= QStyle::State_Sunken;
  style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);

  const QRect inner = outer.adjusted(2, 2, -2, -2);
  const int filled = inner.width() * position_ / 100;
  const QRect bar(inner.left(), inner.top(), filled, inner.height());
  p.fillRect(bar, fill_);

  // The text reads in the window's text colour over the empty part and in a contrasting colour
  // over the filled part.
  const QString text = QString::number(position_) + QLatin1Char('%');
  const QColor onFill = fill_.lightness() < 128 ? Qt::white : Qt::black;
  p.setClipRect(inner.adjusted(filled, 0, 0, 0));
  p.setPen(palette().color(QPalette::Text));
  p.drawText(inner, Qt::AlignCenter, text);
  p.setClipRect(bar);
  p.setPen(onFill);
  p.drawText(inner, Qt::AlignCenter, text);
}

}  // namespace polvane
