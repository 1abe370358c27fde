#pragma once
// lk24ctl's event loop, in place of a toolkit's: jobs posted from any
// thread, one-shot and repeating timers on the steady clock, and readable
// descriptors, all handled on the one thread that runs the loop.

#include "cli/platform/LoopWaiter.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace lk24::cli {

class EventLoop {
 public:
  using Job = std::function<void()>;
  using Clock = std::chrono::steady_clock;
  using TimerId = std::uint64_t;

  EventLoop() = default;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Queues job for the loop's thread and wakes the loop. Any thread.
  void post(Job job);

  // Everything below: the loop's thread only.
  // Calls job after `interval`, and every interval after that when
  // repeating, until stopped. Timers due together fire in the order started.
  TimerId startTimer(std::chrono::milliseconds interval, bool repeating, Job job);
  void stopTimer(TimerId id);
  bool timerActive(TimerId id) const { return timers_.count(id) != 0; }
  // Calls onReadable whenever fd can be read, until unwatched.
  void watch(int fd, Job onReadable);
  void unwatch(int fd);

  // Waits at most maxWait (none: as long as it takes) for something to do,
  // then does everything that is due: posted jobs, readable descriptors,
  // timers.
  void processEvents(std::optional<std::chrono::milliseconds> maxWait = std::nullopt);
  // Turns the loop until done() holds (true) or timeout passes (false).
  bool runUntil(const std::function<bool()>& done, std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Turns the loop until quit(). quit: any thread.
  void exec();
  void quit();

 private:
  struct Timer {
    Clock::time_point due;
    std::chrono::milliseconds interval;
    bool repeating;
    Job job;
  };

  void runPosted();
  void runDueTimers();
  std::optional<Clock::duration> untilNextTimer() const;

  LoopWaiter waiter_;
  std::mutex postLock_;
  std::deque<Job> posted_;
  std::atomic<bool> quit_{false};
  std::map<TimerId, Timer> timers_;
  TimerId nextTimer_ = 1;
  std::map<int, Job> watched_;
};

}  // namespace lk24::cli
