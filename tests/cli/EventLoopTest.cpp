// lk24ctl's own event loop: timers fire in order and repeat, jobs posted
// from other threads wake it, quit ends it, and the serial port's hand-over
// runs its jobs on the loop's thread.

#include "cli/platform/EventLoop.h"
#include "cli/platform/MainLoop.h"
#include "serial/AfSafeSync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lk24::test {
namespace {

using namespace std::chrono_literals;
using cli::EventLoop;

TEST(CtlEventLoop, TimersFireInTheOrderTheyAreDueAndRepeatUntilStopped) {
  EventLoop loop;
  std::vector<int> fired;
  loop.startTimer(30ms, false, [&] { fired.push_back(30); });
  loop.startTimer(10ms, false, [&] { fired.push_back(10); });
  const auto repeating = loop.startTimer(4ms, true, [&] { fired.push_back(4); });
  const auto stopped = loop.startTimer(5ms, false, [&] { fired.push_back(-1); });
  loop.stopTimer(stopped);
  EXPECT_FALSE(loop.timerActive(stopped));
  ASSERT_TRUE(loop.runUntil(
      [&] { return std::count(fired.begin(), fired.end(), 30) == 1 && std::count(fired.begin(), fired.end(), 4) >= 3; },
      2000ms));
  loop.stopTimer(repeating);
  const std::vector<int> oneShots = [&] {
    std::vector<int> kept;
    for (int f : fired) if (f != 4) kept.push_back(f);
    return kept;
  }();
  EXPECT_EQ(oneShots, (std::vector<int>{10, 30}));
  // Nothing is due any more: a bounded turn returns without running anything.
  const std::size_t before = fired.size();
  EXPECT_FALSE(loop.runUntil([] { return false; }, 20ms));
  EXPECT_EQ(fired.size(), before);
}

TEST(CtlEventLoop, APostFromAnotherThreadWakesItAndQuitEndsIt) {
  EventLoop loop;
  std::thread::id ranOn;
  // Only the posted job ends the loop: without the post's wake the loop
  // sleeps on, until the watchdog ends it and the test fails.
  std::mutex lock;
  std::condition_variable ended;
  bool jobRan = false;
  bool watchdogFired = false;
  std::thread worker([&] {
    std::this_thread::sleep_for(20ms);
    loop.post([&] {
      ranOn = std::this_thread::get_id();
      loop.quit();
      const std::lock_guard<std::mutex> hold(lock);
      jobRan = true;
      ended.notify_all();
    });
  });
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> hold(lock);
    if (ended.wait_for(hold, 5s, [&] { return jobRan; })) return;
    watchdogFired = true;
    loop.quit();
  });
  loop.exec();
  worker.join();
  watchdog.join();
  EXPECT_FALSE(watchdogFired);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(CtlEventLoop, ServesThePortsHandOverToTheMainThread) {
  EventLoop& loop = cli::mainLoop();
  std::atomic<bool> done{false};
  std::thread::id ranOn;
  std::thread worker([&] {
    AfRunOnMainThread([&] {
      ranOn = std::this_thread::get_id();
      done = true;
    });
  });
  ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 2000ms));
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace lk24::test
