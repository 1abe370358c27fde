#include "serial/AfMainThread.h"

#include "serial/AfMainThreadQueue.h"

#include <deque>
#include <thread>

namespace {

// Guarded by AfSafeSyncTableLock.
std::function<void()> waker;
std::thread::id mainThread;

// Work for the main thread travels in this queue under its own lock; the
// wake-up is only a token that carries nothing of ours, so every hand-over
// of data is one that the thread checker can see.
std::mutex queueLock;
std::deque<std::function<void()>> mainQueue;

}  // namespace

bool AfOnMainThreadLocked() { return !waker || std::this_thread::get_id() == mainThread; }

bool AfHasMainThreadWakerLocked() { return static_cast<bool>(waker); }

void AfPostToMainThreadLocked(std::function<void()> job) {
  std::lock_guard guard(queueLock);
  mainQueue.push_back(std::move(job));
  // Woken under the queue lock: whatever the waker allocates for its token
  // is then seen to come before the main thread's next look at the queue.
  waker();
}

void AfSetMainThreadWaker(std::function<void()> wake) {
  std::lock_guard guard(AfSafeSyncTableLock);
  waker = std::move(wake);
  mainThread = std::this_thread::get_id();
}

void AfRunMainThreadJobs() {
  std::function<void()> job;
  {
    std::lock_guard guard(queueLock);
    if (mainQueue.empty()) return;
    job = std::move(mainQueue.front());
    mainQueue.pop_front();
  }
  job();
}

void AfEndMainThreadJobs() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard guard(AfSafeSyncTableLock);
    waker = nullptr;
    AfEndSafeSyncLocked();
    std::lock_guard queueGuard(queueLock);
    dropped.swap(mainQueue);
  }
  dropped.clear();  // their callers stop waiting
}
