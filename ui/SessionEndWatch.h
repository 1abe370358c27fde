#pragma once
// The end of the session (logout, shutdown, a closed terminal, Ctrl+C in the
// shell that started the window) as a close request: SIGTERM, SIGHUP, SIGINT
// and SIGQUIT (on Windows the console's events) no longer end the process at
// once, so a write pass is finished and LK24.ini is written as when the user
// closes the window.

#include <QObject>

#include <functional>

namespace lk24 {

class SessionEndWatch : public QObject {
 public:
  // Installs the handlers; one instance per process. onEnd runs on the main
  // thread, once per signal; a close request is harmless when repeated.
  explicit SessionEndWatch(std::function<void()> onEnd, QObject* parent = nullptr);
  ~SessionEndWatch() override;  // the default actions are back

  SessionEndWatch(const SessionEndWatch&) = delete;
  SessionEndWatch& operator=(const SessionEndWatch&) = delete;

  // Runs onEnd; the system's handler asks for it. Main thread.
  void requestEnd();

 private:
  void drainPipe();

  std::function<void()> onEnd_;
};

}  // namespace lk24
