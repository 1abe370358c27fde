// The engine's events as Windows event objects: WaitForMultipleObjects gives
// the lowest signalled index and consumes only that auto-reset event, which
// is the order AfWaitAny promises.
#include "serial/AfEvent.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <system_error>

TAfEvent::TAfEvent(Reset mode)
    : native_(reinterpret_cast<std::intptr_t>(
          CreateEventA(nullptr, mode == Reset::Manual ? TRUE : FALSE, FALSE, nullptr))),
      mode_(mode) {
  if (native_ == 0) throw std::system_error(int(GetLastError()), std::system_category(), "CreateEvent");
}

TAfEvent::~TAfEvent() { CloseHandle(handle()); }

void TAfEvent::Set() { SetEvent(handle()); }

void TAfEvent::ResetEvent() { ::ResetEvent(handle()); }

// A manual event stays set when waited on, so one look answers both kinds.
bool TAfEvent::TryTake() { return WaitForSingleObject(handle(), 0) == WAIT_OBJECT_0; }

bool TAfEvent::Wait(int timeoutMs) {
  return WaitForSingleObject(handle(), timeoutMs < 0 ? INFINITE : DWORD(timeoutMs)) ==
         WAIT_OBJECT_0;
}

int AfWaitAny(std::span<TAfEvent* const> events, int timeoutMs, int extraFd) {
  if (extraFd >= 0 || events.empty() || events.size() > MAXIMUM_WAIT_OBJECTS) return -1;
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  for (std::size_t i = 0; i < events.size(); ++i) handles[i] = events[i]->handle();
  const DWORD result = WaitForMultipleObjects(DWORD(events.size()), handles, FALSE,
                                              timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
  if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + events.size()) {
    return int(result - WAIT_OBJECT_0);
  }
  return -1;
}
