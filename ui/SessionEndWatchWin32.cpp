// Windows: Ctrl+C, Ctrl+Break and the closing of the console that started
// the window, and the end of the session, as a close request. (Not built on
// the Linux build machine.)
#include "ui/SessionEndWatch.h"

#include <QMetaObject>

#include <windows.h>

namespace lk24 {

namespace {

SessionEndWatch* watch = nullptr;

// Windows calls this on a thread of its own; the request is queued to the
// main thread, and for a closing console the process waits a moment for it.
BOOL WINAPI onConsoleEvent(DWORD event) {
  if (watch == nullptr) return FALSE;
  QMetaObject::invokeMethod(watch, [] {
    if (watch != nullptr) watch->requestEnd();
  }, Qt::QueuedConnection);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(5000);
  return TRUE;
}

}  // namespace

SessionEndWatch::SessionEndWatch(std::function<void()> onEnd, QObject* parent)
    : QObject(parent), onEnd_(std::move(onEnd)) {
  watch = this;
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

SessionEndWatch::~SessionEndWatch() {
  SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  watch = nullptr;
}

void SessionEndWatch::requestEnd() {
  if (onEnd_) onEnd_();
}

}  // namespace lk24
