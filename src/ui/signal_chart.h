// The signal chart: the strongest RSSI of each receiver's readings against the time of the
// line (the line's number where the log gives no time), a curve per receiver. Its cursor goes
// with the map's: a line pointed at on either is marked on both.
#pragma once

#include <QWidget>
#include <memory>

#include "ui/drive_track.h"

namespace polvane {

class SignalChart : public QWidget {
  Q_OBJECT

 public:
  explicit SignalChart(QWidget* parent = nullptr);

  void SetTrack(std::shared_ptr<const DriveTrack> track);
  const DriveTrack* Track() const { return track_.get(); }
  void SetCursor(int line);
  int Cursor() const { return cursor_; }
  // The colour of receiver r's curve (1..4).
  static QColor ReceiverColor(int receiver);
  // The plotting area, and where a line's level of receiver r lands in it.
  QRect PlotArea() const;
  QPointF ToPixel(double x, double level) const;
  // The x of a line: its time, or its number when the drive has no times.
  double XOf(const DriveLine& line) const { return byTime_ ? line.Seconds : line.Line; }
  QSize sizeHint() const override { return {420, 220}; }

 signals:
  void lineHovered(int line);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Measure();

  std::shared_ptr<const DriveTrack> track_;
  int cursor_ = -1;
  bool byTime_ = false;
  double x0_ = 0, x1_ = 1, y0_ = -120, y1_ = -40;
};

}  // namespace polvane
