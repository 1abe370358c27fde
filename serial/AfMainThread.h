#pragma once
// The wake-up of the main thread, which the hand-over to it (AfSafeSync)
// needs and which every event loop provides its own way: the window's Qt
// loop, lk24ctl's own loop, a hidden window on Windows. Worker threads queue
// jobs; the waker announces each one to the main thread's loop, which then
// calls AfRunMainThreadJobs. The announcement carries nothing: the job
// travels in a queue under its own lock.
//
// Without a waker there is no main thread to hand over to: a job then runs
// at once on the thread that asks.

#include <functional>

// Called on the main thread: that thread becomes the one jobs run on, and
// `wake` is called (from any thread, once per queued job) to make its loop
// call AfRunMainThreadJobs soon. Replaces an earlier waker.
//
// `wake` runs while two locks are held, the hand-over's table lock and the
// job queue's lock: it must only post a token to the loop and return. It
// must not wait for the main thread, nor call any function of this header
// or of AfSafeSync.h.
void AfSetMainThreadWaker(std::function<void()> wake);

// Runs the next queued job, if any; one call per wake-up. Main thread.
void AfRunMainThreadJobs();

// The main thread's loop has ended for good (the application exits): every
// call waiting for the main thread returns False at once, queued jobs are
// dropped, the slots are freed and the waker is removed. Main thread.
void AfEndMainThreadJobs();
