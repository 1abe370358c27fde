#include "ui/SessionEndWatch.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace lk24 {

namespace {

// SIGQUIT too: Ctrl+\ in the terminal must not cut a write pass off.
constexpr std::array kSessionEndSignals{SIGTERM, SIGHUP, SIGINT, SIGQUIT};

// A handler may only write to a pipe; the event loop reads it.
int wakePipe[2] = {-1, -1};

extern "C" void onSessionEnd(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  (void)!::write(wakePipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

SessionEndWatch::SessionEndWatch(std::function<void()> onEnd, std::function<bool()> transferRunning,
                                 QObject* parent)
    : QObject(parent), onEnd_(std::move(onEnd)), transferRunning_(std::move(transferRunning)) {
  if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &SessionEndWatch::drainPipe);
  struct sigaction action {};
  action.sa_handler = onSessionEnd;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : kSessionEndSignals) ::sigaction(number, &action, nullptr);
}

SessionEndWatch::~SessionEndWatch() {
  for (int number : kSessionEndSignals) ::signal(number, SIG_DFL);
  for (int& fd : wakePipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void SessionEndWatch::drainPipe() {
  unsigned char byte = 0;
  bool any = false;
  while (::read(wakePipe[0], &byte, 1) == 1) any = true;
  if (any) requestEnd();
}

void SessionEndWatch::requestEnd() {
  if (onEnd_) onEnd_();
}

}  // namespace lk24
