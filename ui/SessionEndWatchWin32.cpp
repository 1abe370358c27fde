// Windows: logout and shutdown reach a window program as WM_QUERYENDSESSION
// and WM_ENDSESSION to each of its top-level windows; Ctrl+C, Ctrl+Break and
// the closing of a console it was started from as console events.
#include "ui/SessionEndWatch.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMetaObject>

#include <set>

#include <windows.h>

namespace lk24 {

namespace {

SessionEndWatch* watch = nullptr;

// What Windows shows beside the window while it holds the shutdown.
constexpr wchar_t kHoldReason[] = L"Gerät wird ausgelesen oder programmiert – bitte warten";

class EndSessionFilter : public QAbstractNativeEventFilter {
 public:
  ~EndSessionFilter() override {
    for (HWND window : holding_) ShutdownBlockReasonDestroy(window);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override {
    if (watch == nullptr || type != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_QUERYENDSESSION) {
      if (!watch->transferRunning()) return false;  // Qt answers: the session may end
      // Ending now would cut a program run off with the device half-written:
      // refuse, say why, and close once the transfer has ended.
      if (holding_.insert(msg->hwnd).second) ShutdownBlockReasonCreate(msg->hwnd, kHoldReason);
      QMetaObject::invokeMethod(watch, [] {
        if (watch != nullptr) watch->requestEnd();
      }, Qt::QueuedConnection);
      *result = FALSE;
      return true;
    }
    if (msg->message == WM_ENDSESSION && msg->wParam != FALSE) {
      // The process ends when this message returns: close now, so that
      // LK24.ini is written before.
      watch->requestEnd();
    }
    return false;
  }

 private:
  std::set<HWND> holding_;
};

EndSessionFilter* filter = nullptr;

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

SessionEndWatch::SessionEndWatch(std::function<void()> onEnd, std::function<bool()> transferRunning,
                                 QObject* parent)
    : QObject(parent), onEnd_(std::move(onEnd)), transferRunning_(std::move(transferRunning)) {
  watch = this;
  filter = new EndSessionFilter;
  QCoreApplication::instance()->installNativeEventFilter(filter);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

SessionEndWatch::~SessionEndWatch() {
  SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeNativeEventFilter(filter);
  delete filter;
  filter = nullptr;
  watch = nullptr;
}

void SessionEndWatch::requestEnd() {
  if (onEnd_) onEnd_();
}

}  // namespace lk24
