#include "serial/AfUtils.h"

#include "serial/AfSafeSync.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex displayLock;
std::function<void(const std::string&)> errorDisplay;
std::function<void(bool)> waitCursorDisplay;

}  // namespace

void ShowStandardError(const std::string& message) {
  std::function<void(const std::string&)> display;
  {
    std::lock_guard lock(displayLock);
    display = errorDisplay;
  }
  if (display) {
    display(message);
  } else {
    std::fprintf(stderr, "%s\n", message.c_str());
  }
}

void SetStandardErrorDisplay(std::function<void(const std::string&)> display) {
  std::lock_guard lock(displayLock);
  errorDisplay = std::move(display);
}

void ShowStandardErrorLater(const std::string& message) {
  // Never wait here: the main thread may itself be waiting for this thread.
  AfRunOnMainThread([message] { ShowStandardError(message); });
}

void SetWaitCursorDisplay(std::function<void(bool busy)> display) {
  waitCursorDisplay = std::move(display);
}

void ShowWaitCursor(bool busy) {
  if (waitCursorDisplay) waitCursorDisplay(busy);
}
