#pragma once
// The device link's timer on lk24ctl's own event loop.

#include "cli/platform/EventLoop.h"
#include "link/LinkTimer.h"

namespace lk24::cli {

class LoopLinkTimer final : public LinkTimer {
 public:
  // The loop must outlive the timer. Main thread only, like the loop.
  explicit LoopLinkTimer(EventLoop& loop) : loop_(loop) {}
  ~LoopLinkTimer() override { setEnabled(false); }

  void setInterval(int milliseconds) override;
  int interval() const override { return interval_; }
  void setEnabled(bool enabled) override;
  bool isEnabled() const override { return running_ != 0; }

 private:
  EventLoop& loop_;
  int interval_ = 0;
  EventLoop::TimerId running_ = 0;  // 0: disabled
};

}  // namespace lk24::cli
