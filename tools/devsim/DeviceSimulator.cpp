// The line: the pseudo-terminal, the tool's opens and closes of it, and the
// serving loop that takes bytes in and sends answers out when they are due.
#include "tools/devsim/SimulatorState.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace lk24::devsim {

namespace {

// How long to wait before looking at a line again that reported a hang-up.
constexpr auto kHangupBackoff = std::chrono::milliseconds(10);

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::string placeLink(const std::string& link, const std::string& target) {
  struct stat info{};
  if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    return link + ": exists and is not a symbolic link";
  }
  // A stale link from an earlier run is replaced in one step.
  const std::string temporary = link + ".devsim-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) return errnoText(link);
  if (::rename(temporary.c_str(), link.c_str()) != 0) {
    const std::string reason = errnoText(link);
    ::unlink(temporary.c_str());
    return reason;
  }
  return {};
}

// Removes the link only while it still points at our slave: another run may
// have taken the name over since.
void removeLink(const std::string& link, const std::string& target) {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (length < 0) return;
  if (std::string(buffer, static_cast<std::size_t>(length)) == target) ::unlink(link.c_str());
}

}  // namespace

void DeviceSimulator::Impl::wake() const {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &one, sizeof one);
}

void DeviceSimulator::Impl::fail(const std::string& reason, std::string* error) {
  std::lock_guard lock(stateMutex);
  lastError = reason;
  if (error) *error = reason;
}

std::string DeviceSimulator::Impl::openLine() {
  master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return errnoText("posix_openpt");
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0) return errnoText("pseudo-terminal");
  char name[PATH_MAX];
  if (::ptsname_r(master, name, sizeof name) != 0) return errnoText("ptsname");
  const int flags = ::fcntl(master, F_GETFL);
  if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) return errnoText("pseudo-terminal");

  slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveHold < 0) return errnoText(name);
  termios settings{};
  if (::tcgetattr(slaveHold, &settings) != 0) return errnoText(name);
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B19200);
  ::cfsetospeed(&settings, B19200);
  if (::tcsetattr(slaveHold, TCSANOW, &settings) != 0) return errnoText(name);

  // Our own hold is opened before the watch, so the watch counts the tool only.
  watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watchFd < 0) return errnoText("inotify");
  if (::inotify_add_watch(watchFd, name, IN_OPEN | IN_CLOSE) < 0) return errnoText(name);

  wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd < 0) return errnoText("eventfd");

  std::lock_guard lock(stateMutex);
  slavePath = name;
  return {};
}

void DeviceSimulator::Impl::takeWake() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t ignored = ::read(wakeFd, &count, sizeof count);
  std::unique_lock lock(stateMutex);
  if (vanishRequested && !vanished) {
    lock.unlock();
    closeLine();
    lock.lock();
    vanished = true;
    stateChanged.notify_all();
  }
}

void DeviceSimulator::Impl::closeLine() {
  closeFd(master);
  closeFd(slaveHold);
  closeFd(watchFd);
  outgoing.clear();
}

// The tool's open and close of the slave. Because we hold the slave too, the
// kernel never sees the tool's close as the last one: the exclusive-use flag
// it set would stay and refuse its next open, and our answers that it never
// read would greet it then. A real port forgets both when it is closed.
void DeviceSimulator::Impl::watchTool() {
  alignas(inotify_event) char buffer[4096];
  bool closedAll = false;
  for (;;) {
    const ssize_t length = ::read(watchFd, buffer, sizeof buffer);
    if (length <= 0) break;
    for (char* at = buffer; at < buffer + length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      if (event->mask & IN_OPEN) ++toolOpens;
      if ((event->mask & IN_CLOSE) && toolOpens > 0 && --toolOpens == 0) closedAll = true;
      if (event->mask & IN_OPEN) closedAll = false;
      at += sizeof(inotify_event) + event->len;
    }
  }
  if (closedAll && toolOpens == 0 && slaveHold >= 0) {
    ::ioctl(slaveHold, TIOCNXCL);
    ::tcflush(slaveHold, TCIFLUSH);
  }
}

void DeviceSimulator::Impl::receive(Clock::time_point now) {
  std::uint8_t buffer[512];
  for (;;) {
    const ssize_t length = ::read(master, buffer, sizeof buffer);
    if (length > 0) {
      for (ssize_t i = 0; i < length; ++i) take(buffer[i], now);
      continue;
    }
    if (length < 0 && errno == EINTR) continue;
    if (length == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) hangupUntil = now + kHangupBackoff;
    return;
  }
}

void DeviceSimulator::Impl::serve() {
  // Wire timing needs wake-ups to the microsecond, not the default 50 us slack.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  if (perByte > Clock::duration::zero()) preferPromptWakeUps();
  while (!stopping.load()) {
    Clock::time_point now = Clock::now();
    if (hangupUntil && now >= *hangupUntil) hangupUntil.reset();

    pollfd fds[3];
    nfds_t count = 0;
    fds[count++] = {wakeFd, POLLIN, 0};
    const int watchIndex = watchFd >= 0 ? static_cast<int>(count) : -1;
    if (watchFd >= 0) fds[count++] = {watchFd, POLLIN, 0};
    const int lineIndex = master >= 0 && !hangupUntil ? static_cast<int>(count) : -1;
    if (lineIndex >= 0) {
      fds[count++] = {master, static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0)), 0};
    }

    std::optional<Clock::time_point> deadline = hangupUntil;
    if (!outgoing.empty() && !waitWritable) {
      const Clock::time_point due = outgoing.front().due;
      deadline = deadline ? std::min(*deadline, due) : due;
    }
    timespec timeout{};
    const timespec* timeoutPtr = nullptr;
    if (deadline) {
      const auto left = std::max(Clock::duration::zero(), *deadline - now);
      const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(nanos / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
      timeoutPtr = &timeout;
    }
    const int ready = ::ppoll(fds, count, timeoutPtr, nullptr);
    if (ready < 0 && errno != EINTR) break;

    if (ready > 0 && (fds[0].revents & POLLIN)) takeWake();
    if (ready > 0 && watchIndex >= 0 && watchFd >= 0 && fds[watchIndex].revents) watchTool();
    if (ready > 0 && lineIndex >= 0 && master >= 0) {
      const short events = fds[lineIndex].revents;
      if (events & (POLLIN | POLLHUP | POLLERR)) receive(Clock::now());
      if (events & POLLOUT) waitWritable = false;
    }
    send(Clock::now());
  }
  std::lock_guard lock(stateMutex);
  running = false;
  stateChanged.notify_all();
}

DeviceSimulator::DeviceSimulator(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

DeviceSimulator::~DeviceSimulator() { stop(); }

bool DeviceSimulator::start(std::string* error) {
  Impl& d = *impl_;
  if (d.started) {
    d.fail("the simulator was started before", error);
    return false;
  }
  d.started = true;
  d.origin = Clock::now();
  auto abandon = [&](const std::string& reason) {
    d.closeLine();
    closeFd(d.wakeFd);
    d.stopped = true;
    d.fail(reason, error);
    return false;
  };
  if (std::string reason = checkOptions(d.options); !reason.empty()) return abandon(reason);
  if (std::string reason = d.buildImage(); !reason.empty()) return abandon(reason);
  if (std::string reason = d.openLine(); !reason.empty()) return abandon(reason);
  if (d.options.traceFile) {
    if (std::string reason = d.trace.open(*d.options.traceFile, d.origin); !reason.empty()) return abandon(reason);
  }
  if (d.options.linkPath) {
    if (std::string reason = placeLink(*d.options.linkPath, slavePath()); !reason.empty()) return abandon(reason);
    d.linkPlaced = *d.options.linkPath;
  }
  {
    std::lock_guard lock(d.stateMutex);
    d.running = true;
  }
  d.thread = std::thread([&d] { d.serve(); });
  return true;
}

std::string DeviceSimulator::slavePath() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->slavePath;
}

void DeviceSimulator::stop() {
  Impl& d = *impl_;
  if (!d.started || d.stopped) return;
  d.stopped = true;
  d.stopping.store(true);
  d.wake();
  d.thread.join();
  d.closeLine();
  closeFd(d.wakeFd);

  std::string failure;
  if (d.options.saveFile) failure = saveImageFile(*d.options.saveFile, eeprom());
  if (!d.linkPlaced.empty()) removeLink(d.linkPlaced, slavePath());
  const Stats totals = stats();
  const std::string traceFailure =
      d.trace.close({totals.commands, totals.bytesIn, totals.bytesOut, d.firstCommand, d.lastAnswer});
  if (failure.empty()) failure = traceFailure;
  std::lock_guard lock(d.stateMutex);
  d.lastError = failure;
}

std::string DeviceSimulator::lastError() const {
  std::lock_guard lock(impl_->stateMutex);
  return impl_->lastError;
}

std::array<std::uint8_t, 256> DeviceSimulator::eeprom() const {
  std::lock_guard lock(impl_->imageMutex);
  return impl_->image;
}

void DeviceSimulator::setEeprom(const std::array<std::uint8_t, 256>& image) {
  std::lock_guard lock(impl_->imageMutex);
  impl_->image = image;
}

void DeviceSimulator::vanish() {
  Impl& d = *impl_;
  std::unique_lock lock(d.stateMutex);
  if (!d.running || d.vanished) return;
  d.vanishRequested = true;
  d.wake();
  d.stateChanged.wait(lock, [&d] { return d.vanished || !d.running; });
}

DeviceSimulator::Stats DeviceSimulator::stats() const {
  std::lock_guard lock(impl_->imageMutex);
  return impl_->counters;
}

}  // namespace lk24::devsim
