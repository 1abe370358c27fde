#pragma once
// A waitable event over an eventfd, so that engine threads can wait on their
// own events and on the device descriptor in one poll.

#include <cstdint>
#include <span>

class TAfEvent {
 public:
  enum class Reset { Auto, Manual };
  explicit TAfEvent(Reset mode);
  ~TAfEvent();

  TAfEvent(const TAfEvent&) = delete;
  TAfEvent& operator=(const TAfEvent&) = delete;

  // Any thread.
  void Set();
  void ResetEvent();
  // Waits at most timeoutMs (negative: no limit); an auto-reset event is
  // consumed by a successful wait. Any thread.
  bool Wait(int timeoutMs);

  int fd() const { return fd_; }
  bool autoReset() const { return mode_ == Reset::Auto; }

  // Consumes a signalled auto-reset event; for a manual one only tells
  // whether it is set.
  bool TryTake();

 private:
  int fd_;
  Reset mode_;
};

// Waits for the first of `events` to be set, or for `extraFd` (when >= 0) to
// become readable. Returns the lowest index of a set event, events.size() for
// the extra descriptor, or -1 after the time-out (negative: no limit).
int AfWaitAny(std::span<TAfEvent* const> events, int timeoutMs, int extraFd = -1);
