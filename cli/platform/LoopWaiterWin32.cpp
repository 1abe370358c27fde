#include "cli/platform/LoopWaiter.h"

#include "serial/AfWin32Api.h"

#include <algorithm>
#include <stdexcept>

namespace lk24::cli {

LoopWaiter::LoopWaiter() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  if (event_ == nullptr) throw std::runtime_error("event loop: no event object");
}

LoopWaiter::~LoopWaiter() { CloseHandle(event_); }

void LoopWaiter::wake() { SetEvent(event_); }

// Windows has no descriptors to watch here: Ctrl+C and the console's close
// reach the loop as posted jobs. The thread's window messages are handled
// on every turn, the port's hidden hand-over window among them.
std::vector<int> LoopWaiter::wait(const std::vector<int>&, std::optional<std::chrono::milliseconds> timeout) {
  const DWORD ms = timeout ? DWORD(std::max<std::chrono::milliseconds::rep>(timeout->count(), 0)) : INFINITE;
  HANDLE event = event_;
  MsgWaitForMultipleObjects(1, &event, FALSE, ms, QS_ALLINPUT);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  return {};
}

}  // namespace lk24::cli
