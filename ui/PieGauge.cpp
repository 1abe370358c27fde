#include "ui/PieGauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>

namespace lk24 {

namespace {

// A screen reader announces the gauge as a progress bar with its percentage.
class PieGaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit PieGaugeAccessible(PieGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                               : QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return QStringLiteral("%1 %").arg(gauge()->progress());
    return QAccessibleWidget::text(kind);
  }

  QVariant currentValue() const override { return gauge()->progress(); }
  void setCurrentValue(const QVariant&) override {}  // shows progress, takes no input
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  PieGauge* gauge() const { return static_cast<PieGauge*>(widget()); }
};

QAccessibleInterface* accessibleGauge(const QString& className, QObject* object) {
  if (className == QLatin1String(PieGauge::staticMetaObject.className())) {
    return new PieGaugeAccessible(static_cast<PieGauge*>(object));
  }
  return nullptr;
}

}  // namespace

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(accessibleGauge);
    return true;
  }();
  (void)factoryInstalled;
  setAccessibleName(QStringLiteral("Fortschritt"));
  QFont font = this->font();
  font.setBold(true);
  font.setPixelSize(11);
  setFont(font);
}

void PieGauge::setProgress(int percent) {
  const int clamped = std::clamp(percent, 0, 100);
  if (clamped == progress_) return;
  progress_ = clamped;
  QAccessibleValueChangeEvent changed(this, progress_);
  QAccessible::updateAccessibility(&changed);
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
