#include "ui/QtLinkTimer.h"

namespace lk24 {

QtLinkTimer::QtLinkTimer() {
  // Precise: the close timer's 200 ms decide whether a slow answer still counts.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { expire(); });
}

void QtLinkTimer::setInterval(int milliseconds) { timer_.setInterval(milliseconds); }

int QtLinkTimer::interval() const { return timer_.interval(); }

void QtLinkTimer::setEnabled(bool enabled) {
  if (enabled == timer_.isActive()) return;
  if (enabled) {
    timer_.start();
  } else {
    timer_.stop();
  }
}

bool QtLinkTimer::isEnabled() const { return timer_.isActive(); }

}  // namespace lk24
