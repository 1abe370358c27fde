#include "serial/AfThreadPlatform.h"

#include <windows.h>

namespace {

constexpr int priorityOfLevel[] = {THREAD_PRIORITY_IDLE,    THREAD_PRIORITY_LOWEST,
                                   THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                   THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                   THREAD_PRIORITY_TIME_CRITICAL};

}  // namespace

TAfThreadId AfCurrentThreadId() { return TAfThreadId(GetCurrentThreadId()); }

// Thread names only help a debugger on Windows; the tool's users never see them.
void AfNameThread(std::thread&, const char*) {}

void AfSetThreadPriority(TAfThreadId id, int priority) {
  if (id == 0 || priority < 0 || priority > 6) return;
  HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, DWORD(id));
  if (thread == nullptr) return;
  SetThreadPriority(thread, priorityOfLevel[priority]);
  CloseHandle(thread);
}
