// The percentage gauge of the status bar and the wait window: a sunken bar that fills from the
// left in its fill colour, with the percentage written across it.
#pragma once

#include <QColor>
#include <QWidget>

namespace polvane {

class PercentGauge : public QWidget {
  Q_OBJECT

 public:
  explicit PercentGauge(const QColor& fill, QWidget* parent = nullptr);

  int Position() const { return position_; }
  // Clamped to 0..100; repaints only when the value changes.
  void SetPosition(int percent);
  QColor FillColor() const { return fill_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  int position_ = 0;
};

}  // namespace polvane
