#pragma once
// What the engine's threads need from the operating system beyond
// std::thread: a name in the system's thread list and a priority. One
// implementation per platform, chosen by the build.

#include <cstdint>
#include <thread>

// The system's id of a running thread, as AfCurrentThreadId gives it.
using TAfThreadId = std::int64_t;

// The calling thread's id.
TAfThreadId AfCurrentThreadId();

// Names `thread` (at most 15 characters) where the system shows names.
void AfNameThread(std::thread& thread, const char* name);

// Gives thread `id` one of the seven priorities, tpIdle (0) to
// tpTimeCritical (6). A priority the process may not take leaves the
// thread as it is.
void AfSetThreadPriority(TAfThreadId id, int priority);
