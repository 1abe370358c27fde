// Holds a serial port open the way a terminal program with the modem lines
// lowered does (no lock file), for the test machine's checks: opens PATH,
// lowers DTR and RTS, optionally sets TIOCEXCL, says "ready" and waits for
// SIGUSR1; then prints the lines as the driver has them and exits.
// Usage: lk24-vm-holder PATH [--exclusive]
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lk24-vm-holder PATH [--exclusive]\n");
    return 1;
  }
  sigset_t wanted;
  sigemptyset(&wanted);
  sigaddset(&wanted, SIGUSR1);
  sigprocmask(SIG_BLOCK, &wanted, nullptr);
  const int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    std::printf("open failed: %s\n", std::strerror(errno));
    return 1;
  }
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(fd, TIOCMBIC, &lines) != 0) {
    std::printf("TIOCMBIC failed: %s\n", std::strerror(errno));
    return 1;
  }
  if (argc > 2 && std::strcmp(argv[2], "--exclusive") == 0 && ioctl(fd, TIOCEXCL) != 0) {
    std::printf("TIOCEXCL failed: %s\n", std::strerror(errno));
    return 1;
  }
  std::printf("ready %d\n", int(getpid()));
  std::fflush(stdout);
  int signal = 0;
  sigwait(&wanted, &signal);
  if (ioctl(fd, TIOCMGET, &lines) != 0) {
    std::printf("TIOCMGET failed: %s\n", std::strerror(errno));
    return 1;
  }
  std::printf("dtr=%d rts=%d\n", (lines & TIOCM_DTR) != 0, (lines & TIOCM_RTS) != 0);
  return 0;
}
