#pragma once
// Runs registered handlers on the main thread for worker threads that wait
// for them with a time-out. Each call is queued with its own payload and the
// main thread's loop is woken for it (AfMainThread.h: a hidden object
// "AfSafeSyncObjWnd" in the window), so a late handler never sees another
// call's data.

#include <any>
#include <cstdint>
#include <functional>

using TAfSafeSyncHandler = std::function<void(const std::any& payload)>;

inline constexpr int AfSafeSyncSlotCount = 64;

// Takes the first free slot, disabled, and returns its id, or 0 when all 64
// slots are in use. Any thread; takes the table lock.
std::uint32_t SafeSyncRegister(TAfSafeSyncHandler handler);

// Frees the slot; calls in flight for it return False at once. Any thread.
bool SafeSyncUnregister(std::uint32_t id);

// Enables or disables a registered slot; disabling makes calls in flight
// for it return False at once. Any thread.
bool SafeSyncEnable(std::uint32_t id, bool enabled);

// Runs the slot's handler with `payload` on the main thread and waits at most
// `timeoutMs` for it. True unless the slot is unknown, disabled or freed
// (before or during the wait); a main thread that does not answer in time
// still gives True. Any thread; never holds the table lock while waiting.
bool SafeSyncCall(std::uint32_t id, std::uint32_t timeoutMs, std::any payload = {});

// Advances the id counter: 1, 2, 3, ... skipping 0 when it wraps.
std::uint32_t AfSafeSyncNextId(std::uint32_t& counter);

// Runs `job` on the main thread without waiting for it (at once when called
// there, or while no main-thread waker is set). Any thread.
void AfRunOnMainThread(std::function<void()> job);
