#include "cli/platform/InterruptWatch.h"

#include "cli/platform/EventLoop.h"
#include "serial/AfWin32Api.h"

#include <csignal>
#include <functional>
#include <mutex>

namespace lk24::cli {

namespace {

// Hands a console event to the watch on the loop's thread; Windows' thread
// reads it while the main thread may be ending the watch.
std::mutex deliverLock;
std::function<void(int)> deliver;
// Set when the watch ends: a closing console waits for it, so that a write
// pass in progress is finished before Windows ends the process.
HANDLE watchEnded = nullptr;

// Ctrl+C, Ctrl+Break and the console window closed (or the session ended):
// each may come in the middle of a write pass, which must be finished all
// the same. Windows calls this on a thread of its own.
BOOL WINAPI onConsoleEvent(DWORD event) {
  const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  const int number = event == CTRL_C_EVENT ? SIGINT : event == CTRL_BREAK_EVENT ? SIGBREAK : SIGTERM;
  {
    std::lock_guard guard(deliverLock);
    if (deliver) deliver(number);
  }
  // Returning ends the process at once for these; Windows allows some seconds.
  if (closing && watchEnded != nullptr) WaitForSingleObject(watchEnded, INFINITE);
  return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(EventLoop& loop) : loop_(loop) {
  watchEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::lock_guard guard(deliverLock);
  deliver = [this](int number) {
    loop_.post([this, number] {
      if (signal_ == 0) signal_ = number;
    });
  };
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch() {
  SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  {
    std::lock_guard guard(deliverLock);
    deliver = nullptr;
  }
  if (watchEnded != nullptr) SetEvent(watchEnded);
}

void InterruptWatch::readPipe() {}

}  // namespace lk24::cli
