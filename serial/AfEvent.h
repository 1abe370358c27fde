#pragma once
// A waitable event the engine threads wait on together with the device: an
// eventfd polled beside the descriptor (AfEventPosix.cpp), or a Windows event
// object (AfEventWin32.cpp).

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

  // The eventfd (POSIX) or the event HANDLE (Windows).
  int fd() const { return int(native_); }
  void* handle() const { return reinterpret_cast<void*>(native_); }
  bool autoReset() const { return mode_ == Reset::Auto; }

  // Consumes a signalled auto-reset event; for a manual one only tells
  // whether it is set.
  bool TryTake();

 private:
  std::intptr_t native_;
  Reset mode_;
};

// Waits for the first of `events` to be set, or for `extraFd` (when >= 0) to
// become readable. Returns the lowest index of a set event, events.size() for
// the extra descriptor, or -1 after the time-out (negative: no limit).
// Windows has no descriptor to add: pass -1 there.
int AfWaitAny(std::span<TAfEvent* const> events, int timeoutMs, int extraFd = -1);
