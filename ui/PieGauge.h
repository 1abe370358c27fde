#pragma once
// A round progress display: a pie that fills clockwise from twelve o'clock
// with the percentage written across it. Main thread only.

#include <QColor>
#include <QWidget>

namespace lk24 {

class PieGauge : public QWidget {
  Q_OBJECT
 public:
  explicit PieGauge(QWidget* parent = nullptr);

  // Clamped to 0..100.
  void setProgress(int percent);
  int progress() const { return progress_; }

  void setBackColor(const QColor& colour);
  void setForeColor(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
  QColor backColor_{Qt::yellow};
  QColor foreColor_{Qt::blue};
};

}  // namespace lk24
