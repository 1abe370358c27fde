#include "ui/PieGauge.h"

#include <QPainter>

#include <algorithm>

namespace lk24 {

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {
  QFont font = this->font();
  font.setBold(true);
  font.setPixelSize(11);
  setFont(font);
}

void PieGauge::setProgress(int percent) {
  const int clamped = std::clamp(percent, 0, 100);
  if (clamped == progress_) return;
  progress_ = clamped;
  update();
}

void PieGauge::setBackColor(const QColor& colour) {
  backColor_ = colour;
  update();
}

void PieGauge::setForeColor(const QColor& colour) {
  foreColor_ = colour;
  update();
}

void PieGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);

  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(backColor_);
  painter.drawEllipse(area);

  if (progress_ > 0) {
    painter.setBrush(foreColor_);
    // Qt counts angles in 1/16 degree, counter-clockwise from three o'clock.
    const int startAngle = 90 * 16;
    const int spanAngle = -progress_ * 360 * 16 / 100;
    if (progress_ == 100) {
      painter.drawEllipse(area);
    } else {
      painter.drawPie(area, startAngle, spanAngle);
    }
  }

  // The figure must stay readable on both colours.
  const QString text = QString::number(progress_) + QLatin1Char('%');
  painter.setPen(Qt::black);
  painter.drawText(rect().translated(1, 1), Qt::AlignCenter, text);
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, text);
}

}  // namespace lk24
