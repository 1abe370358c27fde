#pragma once
// Between the hand-over of calls (AfSafeSync.cpp) and the main thread's job
// queue (AfMainThread.cpp); for these two files only.
//
// Lock order: AfSafeSyncTableLock, then the queue's own lock.

#include <functional>
#include <mutex>

// Guards the slot table, the waker and which thread is the main thread.
extern std::mutex AfSafeSyncTableLock;

// The caller holds AfSafeSyncTableLock for each of these.
// True on the main thread, and on every thread while no waker is set.
bool AfOnMainThreadLocked();
bool AfHasMainThreadWakerLocked();
// Queues `job` and wakes the main thread for it; needs a waker.
void AfPostToMainThreadLocked(std::function<void()> job);
// Cancels every call in flight and frees the slot table (AfSafeSync.cpp).
void AfEndSafeSyncLocked();
