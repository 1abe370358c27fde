#include "serial/AfUtils.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <cstdio>
#include <mutex>

namespace {

std::mutex displayLock;
std::function<void(const std::string&)> errorDisplay;
std::function<void(bool)> waitCursorDisplay;

bool OnMainThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

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
  QCoreApplication* app = QCoreApplication::instance();
  if (OnMainThread() || app == nullptr) {
    ShowStandardError(message);
    return;
  }
  // Never wait here: the main thread may itself be waiting for this thread.
  QMetaObject::invokeMethod(app, [message] { ShowStandardError(message); }, Qt::QueuedConnection);
}

void SetWaitCursorDisplay(std::function<void(bool busy)> display) {
  waitCursorDisplay = std::move(display);
}

void ShowWaitCursor(bool busy) {
  if (waitCursorDisplay) waitCursorDisplay(busy);
}
