#pragma once
// A LinkTimer that only expires when told to, so that tests drive the
// transfer's time-outs deterministically.

#include "link/LinkTimer.h"

namespace lk24 {

class ManualLinkTimer final : public LinkTimer {
 public:
  void setInterval(int milliseconds) override { interval_ = milliseconds; }
  int interval() const override { return interval_; }
  void setEnabled(bool enabled) override {
    if (enabled && !enabled_) ++starts_;
    enabled_ = enabled;
  }
  bool isEnabled() const override { return enabled_; }

  // Runs the handler as the event loop would after one interval; a timer
  // that is switched off does not expire. Returns whether it expired.
  bool fire() {
    if (!enabled_) return false;
    expire();
    return true;
  }
  // How often the timer was switched on, i.e. (re)started.
  int starts() const { return starts_; }

 private:
  int interval_ = 0;
  bool enabled_ = false;
  int starts_ = 0;
};

}  // namespace lk24
