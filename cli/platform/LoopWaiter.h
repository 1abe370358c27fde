#pragma once
// The one platform-specific part of lk24ctl's event loop: sleeping until a
// watched descriptor can be read, another thread wakes the loop, or a
// time-out passes. On POSIX a self-pipe and poll(2).

#include <chrono>
#include <optional>
#include <vector>

namespace lk24::cli {

class LoopWaiter {
 public:
  LoopWaiter();
  ~LoopWaiter();

  LoopWaiter(const LoopWaiter&) = delete;
  LoopWaiter& operator=(const LoopWaiter&) = delete;

  // Ends the current or the next wait. Any thread.
  void wake();
  // Sleeps at most `timeout` (none: until something happens) and returns
  // the descriptors of `watched` that can be read. A wake-up is used up.
  // The loop's thread only.
  std::vector<int> wait(const std::vector<int>& watched, std::optional<std::chrono::milliseconds> timeout);

 private:
#ifdef _WIN32
  void* event_ = nullptr;  // an auto-reset event object
#else
  int pipe_[2] = {-1, -1};
#endif
};

}  // namespace lk24::cli
