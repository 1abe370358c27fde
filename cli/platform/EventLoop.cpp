#include "cli/platform/EventLoop.h"

#include <algorithm>
#include <vector>

namespace lk24::cli {

using std::chrono::milliseconds;

void EventLoop::post(Job job) {
  {
    std::lock_guard guard(postLock_);
    posted_.push_back(std::move(job));
  }
  waiter_.wake();
}

EventLoop::TimerId EventLoop::startTimer(milliseconds interval, bool repeating, Job job) {
  const TimerId id = nextTimer_++;
  timers_[id] = Timer{Clock::now() + interval, interval, repeating, std::move(job)};
  return id;
}

void EventLoop::stopTimer(TimerId id) { timers_.erase(id); }

void EventLoop::watch(int fd, Job onReadable) { watched_[fd] = std::move(onReadable); }

void EventLoop::unwatch(int fd) { watched_.erase(fd); }

std::optional<EventLoop::Clock::duration> EventLoop::untilNextTimer() const {
  if (timers_.empty()) return std::nullopt;
  const auto next = std::min_element(timers_.begin(), timers_.end(),
                                     [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
  return std::max(next->second.due - Clock::now(), Clock::duration::zero());
}

void EventLoop::processEvents(std::optional<milliseconds> maxWait) {
  std::optional<milliseconds> wait = maxWait;
  if (const auto timer = untilNextTimer()) {
    // Rounded up: waking a little early would only wait again.
    const auto timerWait = std::chrono::ceil<milliseconds>(*timer);
    wait = wait ? std::min(*wait, timerWait) : timerWait;
  }
  {
    std::lock_guard guard(postLock_);
    if (!posted_.empty()) wait = milliseconds(0);
  }
  std::vector<int> fds;
  for (const auto& entry : watched_) fds.push_back(entry.first);
  const std::vector<int> readable = waiter_.wait(fds, wait);
  runPosted();
  for (int fd : readable) {
    // A handler may have unwatched another descriptor meanwhile.
    const auto found = watched_.find(fd);
    if (found == watched_.end()) continue;
    const Job job = found->second;
    job();
  }
  runDueTimers();
}

void EventLoop::runPosted() {
  std::deque<Job> jobs;
  {
    std::lock_guard guard(postLock_);
    jobs.swap(posted_);
  }
  for (Job& job : jobs) job();
}

void EventLoop::runDueTimers() {
  const Clock::time_point now = Clock::now();
  std::vector<std::pair<Clock::time_point, TimerId>> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.emplace_back(timer.due, id);
  }
  std::sort(due.begin(), due.end());
  for (const auto& [when, id] : due) {
    // An earlier handler may have stopped or restarted this one.
    const auto found = timers_.find(id);
    if (found == timers_.end() || found->second.due > now) continue;
    Timer& timer = found->second;
    const Job job = timer.job;
    if (timer.repeating) {
      timer.due += timer.interval;
      // Turns missed by a busy loop are skipped, not made up in a burst.
      if (timer.due <= now) timer.due = now + timer.interval;
    } else {
      timers_.erase(found);
    }
    job();
  }
}

bool EventLoop::runUntil(const std::function<bool()>& done, std::optional<milliseconds> timeout) {
  const std::optional<Clock::time_point> deadline =
      timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
  while (!done()) {
    std::optional<milliseconds> left;
    if (deadline) {
      const auto now = Clock::now();
      if (now >= *deadline) return false;
      left = std::chrono::ceil<milliseconds>(*deadline - now);
    }
    processEvents(left);
  }
  return true;
}

void EventLoop::exec() {
  quit_ = false;
  while (!quit_) processEvents();
}

void EventLoop::quit() {
  quit_ = true;
  waiter_.wake();
}

}  // namespace lk24::cli
