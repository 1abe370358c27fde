#pragma once
// The end of the session as a close request, so that a write pass is
// finished and LK24.ini is written as when the user closes the window.
// Linux: SIGTERM, SIGHUP, SIGINT and SIGQUIT (logout, shutdown, a closed terminal,
// Ctrl+C in the shell that started the window) no longer end the process at
// once. Windows: logout and shutdown (WM_QUERYENDSESSION, WM_ENDSESSION) and
// the events of a console the window was started from; while a transfer runs
// the first shutdown request is refused with its reason, the window closes
// when the transfer has ended, and Windows is then free to go on.

#include <QObject>

#include <functional>

namespace lk24 {

class SessionEndWatch : public QObject {
 public:
  // Installs the handlers; one instance per process. onEnd runs on the main
  // thread, once per request; a close request is harmless when repeated.
  // transferRunning tells whether the session's end must wait (main thread).
  explicit SessionEndWatch(std::function<void()> onEnd, std::function<bool()> transferRunning = {},
                           QObject* parent = nullptr);
  ~SessionEndWatch() override;  // the default actions are back

  SessionEndWatch(const SessionEndWatch&) = delete;
  SessionEndWatch& operator=(const SessionEndWatch&) = delete;

  // Runs onEnd; the system's handler asks for it. Main thread.
  void requestEnd();
  bool transferRunning() const { return transferRunning_ && transferRunning_(); }

 private:
  void drainPipe();

  std::function<void()> onEnd_;
  std::function<bool()> transferRunning_;
};

}  // namespace lk24
