#include "ui/drive_map.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace polvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6378137.0;  // metres, of the Web Mercator sphere
constexpr double kPointRadius = 3.5;
constexpr int kHoverPixels = 8;
const QColor kNoLevel(144, 144, 144);

double Circumference() {
  return 2 * kPi * kEarthRadius;
}

// The unit square back to degrees of latitude.
double Latitude(double y) {
  return std::atan(std::sinh(kPi * (1 - 2 * y))) * 180 / kPi;
}

}  // namespace

QPointF DriveMap::Mercator(double latitude, double longitude) {
  const double lat = std::clamp(latitude, -85.05112878, 85.05112878) * kPi / 180;
  const double x = (longitude + 180) / 360;
  const double y = (1 - std::log(std::tan(lat) + 1 / std::cos(lat)) / kPi) / 2;
  return {x, y};
}

DriveMap::DriveMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("DriveMap"));
  setMouseTracking(true);
  setMinimumSize(200, 160);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DriveMap::SetTrack(std::shared_ptr<const DriveTrack> track, bool fit) {
  const bool first = !track_;
  track_ = std::move(track);
  cursor_ = -1;
  if (fit || first) FitTrack();
  update();
}

void DriveMap::SetColors(const SignalColors& colors) {
  colors_ = colors;
  update();
}

void DriveMap::SetChosenSection(std::uint32_t section) {
  chosen_ = section;
  update();
}

void DriveMap::SetLeftOut(std::set<std::uint32_t> sections) {
  leftOut_ = std::move(sections);
  update();
}

void DriveMap::SetCursor(int line) {
  if (cursor_ == line) return;
  cursor_ = line;
  update();
}

void DriveMap::SetView(double latitude, double longitude, double metresPerPixel) {
  centre_ = Mercator(latitude, longitude);
  const double lat = Latitude(centre_.y()) * kPi / 180;
  scale_ = Circumference() * std::cos(lat) / std::max(metresPerPixel, 1e-3);
  update();
}

double DriveMap::MetresPerPixel() const {
  return Circumference() * std::cos(Latitude(centre_.y()) * kPi / 180) / scale_;
}

void DriveMap::FitTrack() {
  if (!track_) return;
  double x0 = 2, y0 = 2, x1 = -1, y1 = -1;
  for (const DriveLine& l : track_->Lines) {
    if (!l.HasPosition) continue;
    const QPointF m = Mercator(l.Latitude, l.Longitude);
    x0 = std::min(x0, m.x());
    x1 = std::max(x1, m.x());
    y0 = std::min(y0, m.y());
    y1 = std::max(y1, m.y());
  }
  if (x1 < x0) return;
  centre_ = {(x0 + x1) / 2, (y0 + y1) / 2};
  // A margin for the points' size; a single place is shown at about 2 m per pixel.
  const double w = std::max(1.0, width() - 40.0), h = std::max(1.0, height() - 40.0);
  const double span = std::max({(x1 - x0) / w, (y1 - y0) / h, 1e-12});
  scale_ = std::min(1.0 / span, Circumference() / 2.0);
  update();
}

QPointF DriveMap::ToPixel(double latitude, double longitude) const {
  const QPointF m = Mercator(latitude, longitude);
  return {(m.x() - centre_.x()) * scale_ + width() / 2.0,
          (m.y() - centre_.y()) * scale_ + height() / 2.0};
}

int DriveMap::LineAt(QPointF pixel) const {
  if (!track_) return -1;
  int best = -1;
  double bestDistance = kHoverPixels * kHoverPixels;
  for (std::size_t i = 0; i < track_->Lines.size(); ++i) {
    const DriveLine& l = track_->Lines[i];
    if (!l.HasPosition) continue;
    const QPointF d = ToPixel(l.Latitude, l.Longitude) - pixel;
    const double distance = d.x() * d.x() + d.y() * d.y();
    if (distance <= bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  return best;
}

QColor DriveMap::PointColor(const DriveLine& line) const {
  QColor c = kNoLevel;
  if (line.HasLevel()) {
    const Rgb rgb = colors_.Color(colors_.Band(line.Strongest));
    c = QColor(rgb.Red, rgb.Green, rgb.Blue);
  }
  if (leftOut_.count(line.Section)) c.setAlpha(60);
  return c;
}

void DriveMap::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(246, 246, 240));
  if (!track_ || track_->Lines.empty()) {
    p.setPen(QColor(90, 90, 90));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
               track_ ? tr("The settings write no line with a position.")
                      : tr("Choose a log to see its drive."));
    return;
  }
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF visible = QRectF(rect()).adjusted(-10, -10, 10, 10);
  const auto& lines = track_->Lines;

  // The runs of the sections: a path through the points of each, the chosen one underlaid.
  auto runs = [&](std::uint32_t only, const QPen& pen) {
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    std::uint32_t section = 0;
    bool open = false;
    for (const DriveLine& l : lines) {
      if (!l.HasPosition) continue;
      if (only && l.Section != only) {
        open = false;
        continue;
      }
      const QPointF at = ToPixel(l.Latitude, l.Longitude);
      if (!open || l.Section != section)
        path.moveTo(at);
      else
        path.lineTo(at);
      open = true;
      section = l.Section;
    }
    p.drawPath(path);
  };
  if (chosen_) runs(chosen_, QPen(QColor(40, 90, 255, 150), 7, Qt::SolidLine, Qt::RoundCap));
  runs(0, QPen(QColor(120, 120, 120), 1));

  p.setPen(Qt::NoPen);
  for (const DriveLine& l : lines) {
    if (!l.HasPosition) continue;
    const QPointF at = ToPixel(l.Latitude, l.Longitude);
    if (!visible.contains(at)) continue;
    p.setBrush(PointColor(l));
    const double r = l.Section == chosen_ && chosen_ ? kPointRadius + 1 : kPointRadius;
    p.drawEllipse(at, r, r);
  }
  if (cursor_ >= 0 && cursor_ < static_cast<int>(lines.size()) && lines[cursor_].HasPosition) {
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(ToPixel(lines[cursor_].Latitude, lines[cursor_].Longitude), 8, 8);
  }
  if (outlining_) {
    p.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
    p.setBrush(QColor(200, 0, 0, 30));
    p.drawRect(QRect(pressAt_, lastAt_).normalized());
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  PaintLegend(p);
  PaintScaleBar(p);
}

void DriveMap::PaintLegend(QPainter& p) const {
  const QFontMetrics fm = p.fontMetrics();
  std::vector<std::pair<QColor, QString>> rows;
  for (std::size_t b = 0; b < colors_.BandCount(); ++b) {
    const Rgb c = colors_.Color(b);
    rows.emplace_back(QColor(c.Red, c.Green, c.Blue), QString::fromStdString(colors_.Label(b)));
  }
  rows.emplace_back(kNoLevel, tr("no RSSI"));
  const QString title = tr("Strongest RSSI");
  int textWidth = fm.horizontalAdvance(title);
  for (const auto& row : rows) textWidth = std::max(textWidth, fm.horizontalAdvance(row.second));
  const int line = fm.height() + 2, swatch = fm.height() - 4;
  const QRect box(width() - textWidth - swatch - 24, 6, textWidth + swatch + 18,
                  line * static_cast<int>(rows.size() + 1) + 8);
  p.setPen(QColor(160, 160, 160));
  p.setBrush(QColor(255, 255, 255, 225));
  p.drawRect(box);
  p.setPen(Qt::black);
  int y = box.top() + 4;
  p.drawText(QRect(box.left() + 6, y, box.width() - 8, line), Qt::AlignVCenter, title);
  for (const auto& [color, text] : rows) {
    y += line;
    p.fillRect(QRect(box.left() + 6, y + (line - swatch) / 2, swatch, swatch), color);
    p.drawText(QRect(box.left() + 12 + swatch, y, textWidth + 4, line), Qt::AlignVCenter, text);
  }
}

void DriveMap::PaintScaleBar(QPainter& p) const {
  // The longest round length (1, 2 or 5 times a power of ten) within about 120 pixels.
  const double perPixel = MetresPerPixel();
  const double most = perPixel * 120;
  double length = std::pow(10.0, std::floor(std::log10(most)));
  for (double f : {5.0, 2.0})
    if (length * f <= most) {
      length *= f;
      break;
    }
  const int pixels = static_cast<int>(std::lround(length / perPixel));
  const QString text = length >= 1000 ? QStringLiteral("%1 km").arg(length / 1000)
                                      : QStringLiteral("%1 m").arg(length);
  const int x = 10, y = height() - 12;
  p.fillRect(
      QRect(x - 4, y - p.fontMetrics().height() - 6, pixels + 8, p.fontMetrics().height() + 14),
      QColor(255, 255, 255, 200));
  p.setPen(QPen(Qt::black, 2));
  p.drawLine(x, y, x + pixels, y);
  p.drawLine(x, y - 4, x, y);
  p.drawLine(x + pixels, y - 4, x + pixels, y);
  p.drawText(QPoint(x + 2, y - 5), text);
}

void DriveMap::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  const double factor = std::pow(1.25, steps);
  const double next = std::clamp(scale_ * factor, 256.0, Circumference() * 4);
  // The place under the mouse stays under it.
  const QPointF at = event->position() - QPointF(width() / 2.0, height() / 2.0);
  centre_ += at / scale_ - at / next;
  scale_ = next;
  update();
  event->accept();
}

void DriveMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressAt_ = lastAt_ = event->position().toPoint();
  outlining_ = event->modifiers() & Qt::ShiftModifier;
  dragging_ = !outlining_;
  if (dragging_) setCursor(Qt::ClosedHandCursor);
}

void DriveMap::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (dragging_) {
    centre_ -= QPointF(at - lastAt_) / scale_;
    lastAt_ = at;
    update();
    return;
  }
  if (outlining_) {
    lastAt_ = at;
    update();
    return;
  }
  const int line = LineAt(at);
  SetCursor(line);
  emit lineHovered(line);
  if (line >= 0)
    QToolTip::showText(event->globalPosition().toPoint(),
                       QString::fromStdString(track_->Describe(track_->Lines[line])), this);
  else
    QToolTip::hideText();
}

void DriveMap::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (outlining_ && track_) {
    const QRectF box = QRectF(QRect(pressAt_, event->position().toPoint()).normalized());
    std::set<std::uint32_t> inside;
    for (const DriveLine& l : track_->Lines)
      if (l.HasPosition && l.Section && box.contains(ToPixel(l.Latitude, l.Longitude)))
        inside.insert(l.Section);
    if (!inside.empty()) emit sectionsOutlined({inside.begin(), inside.end()});
  }
  dragging_ = outlining_ = false;
  unsetCursor();
  update();
}

void DriveMap::leaveEvent(QEvent*) {
  if (dragging_ || outlining_) return;
  SetCursor(-1);
  emit lineHovered(-1);
}

}  // namespace polvane
