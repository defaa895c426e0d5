#include "ui/signal_chart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace polvane {

namespace {

constexpr int kLeft = 52, kRight = 12, kTop = 24, kBottom = 28;

QString TimeText(double seconds) {
  const long s = std::lround(seconds);
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A round step that divides `span` into about `count` parts.
double RoundStep(double span, int count) {
  const double raw = span / std::max(count, 1);
  const double power = std::pow(10.0, std::floor(std::log10(std::max(raw, 1e-9))));
  for (double f : {1.0, 2.0, 5.0, 10.0})
    if (f * power >= raw) return f * power;
  return 10 * power;
}

}  // namespace

SignalChart::SignalChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("SignalChart"));
  setMouseTracking(true);
  setMinimumSize(200, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor SignalChart::ReceiverColor(int receiver) {
  static const QColor kColors[] = {QColor(31, 95, 191), QColor(192, 48, 48), QColor(32, 128, 32),
                                   QColor(128, 64, 160)};
  return kColors[std::clamp(receiver, 1, 4) - 1];
}

void SignalChart::SetTrack(std::shared_ptr<const DriveTrack> track) {
  track_ = std::move(track);
  cursor_ = -1;
  Measure();
  update();
}

void SignalChart::SetCursor(int line) {
  if (cursor_ == line) return;
  cursor_ = line;
  update();
}

void SignalChart::Measure() {
  byTime_ = false;
  if (!track_) return;
  bool any = false, allTimed = true;
  double lo = 0, hi = 0;
  for (const DriveLine& l : track_->Lines) {
    if (!l.HasLevel()) continue;
    allTimed = allTimed && l.HasTime;
    for (float v : l.Levels) {
      if (std::isnan(v)) continue;
      lo = any ? std::min<double>(lo, v) : v;
      hi = any ? std::max<double>(hi, v) : v;
      any = true;
    }
  }
  byTime_ = any && allTimed;
  y0_ = any ? std::floor(lo / 10) * 10 : -120;
  y1_ = any ? std::ceil(hi / 10) * 10 : -40;
  if (y1_ - y0_ < 10) y1_ = y0_ + 10;
  bool first = true;
  for (const DriveLine& l : track_->Lines) {
    if (!l.HasLevel()) continue;
    const double x = XOf(l);
    x0_ = first ? x : std::min(x0_, x);
    x1_ = first ? x : std::max(x1_, x);
    first = false;
  }
  if (first) x0_ = 0, x1_ = 1;
  if (x1_ <= x0_) x1_ = x0_ + 1;
}

QRect SignalChart::PlotArea() const {
  return QRect(kLeft, kTop, std::max(1, width() - kLeft - kRight),
               std::max(1, height() - kTop - kBottom));
}

QPointF SignalChart::ToPixel(double x, double level) const {
  const QRect a = PlotArea();
  return {a.left() + (x - x0_) / (x1_ - x0_) * (a.width() - 1),
          a.top() + (y1_ - level) / (y1_ - y0_) * (a.height() - 1)};
}

void SignalChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  const QRect a = PlotArea();
  const QFontMetrics fm = p.fontMetrics();
  bool anyLevel = false;
  if (track_)
    for (bool r : track_->Receivers) anyLevel = anyLevel || r;
  if (!anyLevel) {
    p.setPen(palette().text().color());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
               track_ ? tr("The lines hold no RSSI: select \"<< DATA >>\" with RSSI.")
                      : tr("Choose a log to see its levels."));
    return;
  }
  // Axes and grid.
  p.setPen(QColor(225, 225, 225));
  const double yStep = RoundStep(y1_ - y0_, 5);
  for (double y = y0_; y <= y1_ + 1e-9; y += yStep) {
    const int py = static_cast<int>(std::lround(ToPixel(x0_, y).y()));
    p.setPen(QColor(225, 225, 225));
    p.drawLine(a.left(), py, a.right(), py);
    p.setPen(palette().text().color());
    p.drawText(QRect(0, py - fm.height() / 2, kLeft - 6, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(y));
  }
  const double xStep = RoundStep(x1_ - x0_, std::max(2, a.width() / 110));
  for (double x = std::ceil(x0_ / xStep) * xStep; x <= x1_ + 1e-9; x += xStep) {
    const int px = static_cast<int>(std::lround(ToPixel(x, y0_).x()));
    p.setPen(QColor(225, 225, 225));
    p.drawLine(px, a.top(), px, a.bottom());
    p.setPen(palette().text().color());
    const QString label = byTime_ ? TimeText(x) : QString::number(x);
    p.drawText(QRect(px - 40, a.bottom() + 4, 80, fm.height()), Qt::AlignCenter, label);
  }
  p.setPen(palette().text().color());
  p.drawRect(a.adjusted(0, 0, -1, -1));
  p.drawText(QRect(4, 2, kLeft + 100, kTop - 4), Qt::AlignLeft | Qt::AlignVCenter,
             tr("RSSI (dBm)"));

  // A curve per receiver, broken where a line has no reading of it.
  p.setRenderHint(QPainter::Antialiasing);
  int legendX = a.right();
  for (int r = 4; r >= 1; --r) {
    if (!track_->Receivers[r - 1]) continue;
    QPainterPath path;
    bool open = false;
    for (const DriveLine& l : track_->Lines) {
      const float v = l.Levels[r - 1];
      if (std::isnan(v)) {
        open = false;
        continue;
      }
      const QPointF at = ToPixel(XOf(l), v);
      if (open)
        path.lineTo(at);
      else
        path.moveTo(at);
      open = true;
    }
    p.setPen(QPen(ReceiverColor(r), 1.2));
    p.drawPath(path);
    const QString name = tr("Receiver %1").arg(r);
    const int w = fm.horizontalAdvance(name);
    legendX -= w + 22;
    p.fillRect(QRect(legendX, kTop / 2 - 2, 12, 4), ReceiverColor(r));
    p.drawText(QRect(legendX + 16, 0, w + 4, kTop), Qt::AlignVCenter, name);
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  if (cursor_ >= 0 && cursor_ < static_cast<int>(track_->Lines.size())) {
    const DriveLine& l = track_->Lines[cursor_];
    const int px = static_cast<int>(std::lround(ToPixel(XOf(l), y0_).x()));
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawLine(px, a.top(), px, a.bottom());
  }
}

void SignalChart::mouseMoveEvent(QMouseEvent* event) {
  if (!track_ || !PlotArea().contains(event->position().toPoint())) {
    SetCursor(-1);
    emit lineHovered(-1);
    return;
  }
  const QRect a = PlotArea();
  const double x =
      x0_ + (event->position().x() - a.left()) / std::max(1, a.width() - 1) * (x1_ - x0_);
  int best = -1;
  double bestDistance = 0;
  for (std::size_t i = 0; i < track_->Lines.size(); ++i) {
    const DriveLine& l = track_->Lines[i];
    if (!l.HasLevel()) continue;
    const double d = std::fabs(XOf(l) - x);
    if (best < 0 || d < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = d;
    }
  }
  SetCursor(best);
  emit lineHovered(best);
  if (best >= 0)
    QToolTip::showText(event->globalPosition().toPoint(),
                       QString::fromStdString(track_->Describe(track_->Lines[best])), this);
}

void SignalChart::leaveEvent(QEvent*) {
  SetCursor(-1);
  emit lineHovered(-1);
}

}  // namespace polvane
