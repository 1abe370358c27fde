#pragma once
// A window timer as the device link uses it: an interval, an enabled flag,
// and a handler called on the main thread every interval while enabled.
// Switching it on starts a full interval; switching on a running timer
// changes nothing, so a restart is "disable, enable".

#include <functional>

namespace lk24 {

class LinkTimer {
 public:
  virtual ~LinkTimer() = default;

  // All operations: main thread only.
  virtual void setInterval(int milliseconds) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;

  void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

 protected:
  void expire() {
    if (handler_) handler_();
  }

 private:
  std::function<void()> handler_;
};

}  // namespace lk24
