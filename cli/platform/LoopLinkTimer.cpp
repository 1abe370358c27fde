#include "cli/platform/LoopLinkTimer.h"

namespace lk24::cli {

void LoopLinkTimer::setInterval(int milliseconds) {
  interval_ = milliseconds;
  // A running timer starts over with the new interval.
  if (isEnabled()) {
    setEnabled(false);
    setEnabled(true);
  }
}

void LoopLinkTimer::setEnabled(bool enabled) {
  if (enabled == isEnabled()) return;
  if (enabled) {
    running_ = loop_.startTimer(std::chrono::milliseconds(interval_), true, [this] { expire(); });
  } else {
    loop_.stopTimer(running_);
    running_ = 0;
  }
}

}  // namespace lk24::cli
