#pragma once
// LinkTimer on a QTimer of the main thread's event loop: the window's
// timers for the device link.

#include "link/LinkTimer.h"

#include <QTimer>

namespace lk24 {

class QtLinkTimer final : public LinkTimer {
 public:
  QtLinkTimer();

  // Main thread only.
  void setInterval(int milliseconds) override;
  int interval() const override;
  void setEnabled(bool enabled) override;
  bool isEnabled() const override;

 private:
  QTimer timer_;
};

}  // namespace lk24
