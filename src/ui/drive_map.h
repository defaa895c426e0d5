// The drive map: the positions of the converted lines in Web Mercator on a plain background (no
// tiles, no network), each point in the colour of its line's strongest RSSI with the bands of
// the KML output, a legend and a scale bar. The wheel zooms about the mouse, a drag pans; a
// point under the mouse shows its line; the sections are drawn as runs of their own, the
// chosen one highlighted and those left out faded; a drag with Shift held outlines the
// sections to leave out.
#pragma once

#include <QPointF>
#include <QWidget>
#include <memory>
#include <set>
#include <vector>

#include "convert/signal_colors.h"
#include "ui/drive_track.h"

namespace polvane {

class DriveMap : public QWidget {
  Q_OBJECT

 public:
  explicit DriveMap(QWidget* parent = nullptr);

  // A new drive; the view fits it when `fit` (or when there was none before).
  void SetTrack(std::shared_ptr<const DriveTrack> track, bool fit = true);
  const DriveTrack* Track() const { return track_.get(); }
  void SetColors(const SignalColors& colors);
  const SignalColors& Colors() const { return colors_; }
  // The section the tree has chosen (0: none) and the sections the tree leaves out.
  void SetChosenSection(std::uint32_t section);
  void SetLeftOut(std::set<std::uint32_t> sections);
  // The line the chart points at (-1: none): ringed on the map.
  void SetCursor(int line);
  int Cursor() const { return cursor_; }

  // The view: the point at the centre of the widget and the zoom as metres per pixel there.
  void SetView(double latitude, double longitude, double metresPerPixel);
  double MetresPerPixel() const;
  void FitTrack();
  // Where a position lands in the widget, in pixels.
  QPointF ToPixel(double latitude, double longitude) const;
  // The line whose point is nearest to `pixel`, within a few pixels; -1 for none.
  int LineAt(QPointF pixel) const;
  QSize sizeHint() const override { return {420, 360}; }

  // Web Mercator in the unit square: x east from -180 degrees, y south from about 85 north.
  static QPointF Mercator(double latitude, double longitude);

 signals:
  void lineHovered(int line);
  // Sections with a point inside the rectangle drawn with Shift held.
  void sectionsOutlined(std::vector<std::uint32_t> sections);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QColor PointColor(const DriveLine& line) const;
  void PaintLegend(class QPainter& p) const;
  void PaintScaleBar(class QPainter& p) const;

  std::shared_ptr<const DriveTrack> track_;
  SignalColors colors_;
  std::uint32_t chosen_ = 0;
  std::set<std::uint32_t> leftOut_;
  int cursor_ = -1;
  QPointF centre_{0.5, 0.5};  // in the unit square
  double scale_ = 1024;       // pixels per unit: the world's width in pixels
  bool dragging_ = false, outlining_ = false;
  QPoint pressAt_, lastAt_;
};

}  // namespace polvane
