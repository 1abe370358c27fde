#include "cli/platform/InterruptWatch.h"

#include "cli/platform/EventLoop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace lk24::cli {

namespace {

int pipeFds[2] = {-1, -1};

// Ctrl+C, kill, a closed terminal or SSH session, Ctrl+\: each may come in
// the middle of a write pass, which must be finished all the same.
constexpr std::array kInterruptSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void onSignal(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  (void)!::write(pipeFds[1], &byte, 1);
  errno = saved;
}

}  // namespace

InterruptWatch::InterruptWatch(EventLoop& loop) : loop_(loop) {
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  loop_.watch(pipeFds[0], [this] { readPipe(); });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : kInterruptSignals) ::sigaction(number, &action, nullptr);
}

InterruptWatch::~InterruptWatch() {
  for (int number : kInterruptSignals) ::signal(number, SIG_DFL);
  if (pipeFds[0] >= 0) loop_.unwatch(pipeFds[0]);
  for (int& fd : pipeFds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void InterruptWatch::readPipe() {
  unsigned char byte = 0;
  while (::read(pipeFds[0], &byte, 1) == 1) {
    if (signal_ == 0) signal_ = byte;
  }
}

}  // namespace lk24::cli
