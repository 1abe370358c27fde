#include "tools/devsim/DeviceSimulator.h"

#include "model/ConfigImage.h"
#include "tools/devsim/CommandParser.h"
#include "tools/devsim/ImageFile.h"
#include "tools/devsim/TraceLog.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

namespace lk24::devsim {

namespace {

constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int kMaxGarbage = 4096;
constexpr int kMaxLatencyMs = 60000;
constexpr int kMaxBaud = 4000000;
// How long to wait before looking at a line again that reported a hang-up.
constexpr auto kHangupBackoff = std::chrono::milliseconds(10);

// Asks the scheduler for a short time slice, so that a wake-up at an answer's
// due time preempts a busy neighbour promptly instead of after its slice.
// Kernels without per-task slices refuse it; the timing is then only coarser.
void preferPromptWakeUps() {
  struct SchedulingAttributes {
    std::uint32_t size;
    std::uint32_t policy;
    std::uint64_t flags;
    std::int32_t nice;
    std::uint32_t priority;
    std::uint64_t runtime;
    std::uint64_t deadline;
    std::uint64_t period;
  };
  SchedulingAttributes attributes{};
  attributes.size = sizeof attributes;
  attributes.policy = SCHED_OTHER;
  attributes.nice = static_cast<std::int32_t>(::getpriority(PRIO_PROCESS, 0));
  attributes.runtime = 100'000;  // ns, the shortest slice the kernel accepts
  ::syscall(SYS_sched_setattr, 0, &attributes, 0U);
}

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

Clock::duration byteTime(int baud) {
  if (baud <= 0) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(1'000'000'000LL * kBitsPerByte / baud));
}

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

std::string checkOptions(const Options& options) {
  auto outside = [](int value, int low, int high) { return value < low || value > high; };
  if (options.stopAfter && *options.stopAfter < 0) return "--stop-after: must not be negative";
  if (options.wrongEchoAt && outside(*options.wrongEchoAt, 0, 255)) return "--wrong-echo-at: address 0 to 255";
  if (options.stuckAt && outside(*options.stuckAt, 0, 255)) return "--stuck-at: address 0 to 255";
  if (options.noisyAnswer && *options.noisyAnswer < 0) return "--noisy-answer: must not be negative";
  if (options.firmware && (outside(options.firmware->first, 0, 255) || outside(options.firmware->second, 0, 255))) {
    return "--firmware: M.N with M and N 0 to 255";
  }
  if (options.typeCode && outside(*options.typeCode, 0, 255)) return "--type-code: 0 to 255";
  if (outside(options.garbage, 0, kMaxGarbage)) return "--garbage: 0 to " + std::to_string(kMaxGarbage);
  if (outside(options.latencyMs, 0, kMaxLatencyMs)) return "--latency-ms: 0 to " + std::to_string(kMaxLatencyMs);
  if (outside(options.jitterMs, 0, kMaxLatencyMs)) return "--jitter-ms: 0 to " + std::to_string(kMaxLatencyMs);
  if (outside(options.garbagePercent, 0, 100)) return "--garbage-percent: 0 to 100";
  if (options.garbageFrom < 0) return "--garbage-from: must not be negative";
  if (outside(options.jitterPercent, 0, 100)) return "--jitter-percent: 0 to 100";
  if (outside(options.baud, 0, kMaxBaud)) return "--baud: 1 to " + std::to_string(kMaxBaud);
  for (const auto* path : {&options.imageFile, &options.saveFile, &options.traceFile, &options.linkPath}) {
    if (*path && (*path)->empty()) return "a file name must not be empty";
  }
  return {};
}

struct DeviceSimulator::Impl {
  struct Outgoing {
    std::uint8_t byte;
    Clock::time_point due;  // when the byte has crossed the wire and reaches the tool
    bool answer;            // false for garbage
  };

  explicit Impl(Options o) : options(std::move(o)), rng(options.seed) {}

  const Options options;

  // Shared with callers on other threads.
  mutable std::mutex imageMutex;
  Eeprom image{};
  Stats counters;

  mutable std::mutex stateMutex;  // slavePath, lastError, running, vanished
  std::condition_variable stateChanged;
  std::string slavePath;
  std::string lastError;
  bool running = false;
  bool vanished = false;
  bool vanishRequested = false;
  std::atomic<bool> stopping{false};
  int wakeFd = -1;

  // Used by start()/stop() on the caller's thread, and in between only by
  // the serving thread.
  bool started = false;
  bool stopped = false;
  std::thread thread;
  int master = -1;
  int slaveHold = -1;  // keeps the line up while the tool has the slave closed
  int watchFd = -1;    // opens and closes of the slave by the tool
  int toolOpens = 0;
  std::string linkPlaced;
  TraceLog trace;
  Clock::time_point origin;

  // Serving thread only.
  CommandParser parser;
  std::deque<Outgoing> outgoing;
  Clock::duration perByte = byteTime(options.baud);
  Clock::time_point rxLineFree{};
  Clock::time_point txLineFree{};
  std::mt19937 rng;
  std::optional<Clock::time_point> firstCommand;
  std::optional<Clock::time_point> lastAnswer;
  bool waitWritable = false;
  std::optional<Clock::time_point> hangupUntil;

  std::string buildImage();
  std::string openLine();
  void serve();
  void wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &one, sizeof one);
  }
  void takeWake();
  void watchTool();
  void receive(Clock::time_point now);
  void take(std::uint8_t byte, Clock::time_point now);
  void answer(const Command& command, Clock::time_point at);
  void queue(std::uint8_t byte, Clock::time_point ready, bool isAnswer);
  bool happens(int percent);  // true for that share of the calls
  void send(Clock::time_point now);
  void countByteOut(int change);
  void closeLine();
  void fail(const std::string& reason, std::string* error) {
    std::lock_guard lock(stateMutex);
    lastError = reason;
    if (error) *error = reason;
  }
};

std::string DeviceSimulator::Impl::buildImage() {
  Eeprom built = defaultImage(options.type);
  if (options.imageFile) {
    ImageLoad load = loadImageFile(*options.imageFile);
    if (!load.image) return load.error;
    built = *load.image;
  }
  // A write-protected device keeps a consistent checksum; a loaded image
  // whose checksum was already wrong stays wrong.
  const bool checksumWasRight = built[addr::kChecksum] == calculatechecksum(built);
  if (options.writeProtected) built[addr::kWriteProtect] |= 0x01;
  if (options.typeCode) built[addr::kDeviceType] = static_cast<std::uint8_t>(*options.typeCode);
  if (options.firmware) {
    built[addr::kFirmwareMajor] = static_cast<std::uint8_t>(options.firmware->first);
    built[addr::kFirmwareMinor] = static_cast<std::uint8_t>(options.firmware->second);
  }
  if (checksumWasRight) built[addr::kChecksum] = calculatechecksum(built);
  if (options.badChecksum) built[addr::kChecksum] = static_cast<std::uint8_t>(calculatechecksum(built) + 1);
  std::lock_guard lock(imageMutex);
  image = built;
  return {};
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

void DeviceSimulator::Impl::take(std::uint8_t byte, Clock::time_point now) {
  // With wire timing, bytes written at once arrive one byte time apart.
  Clock::time_point arrived = now;
  if (perByte > Clock::duration::zero()) {
    arrived = std::max(now, rxLineFree) + perByte;
    rxLineFree = arrived;
  }
  {
    std::lock_guard lock(imageMutex);
    ++counters.bytesIn;
  }
  trace.byteIn(byte, arrived);
  if (const std::optional<Command> command = parser.feed(byte, arrived)) answer(*command, arrived);
}

void DeviceSimulator::Impl::answer(const Command& command, Clock::time_point at) {
  std::uint8_t reply = 0;
  long answered = 0;  // answers before this one
  {
    std::lock_guard lock(imageMutex);
    if (options.silent) return;
    if (options.stopAfter && counters.commands >= *options.stopAfter) return;
    if (command.kind == Command::Kind::Read) {
      reply = image[command.address];
    } else {
      // A worn cell keeps its old byte while the device echoes the new one.
      if (options.stuckAt != command.address) image[command.address] = command.data;
      const bool corrupt = options.wrongEchoAt && *options.wrongEchoAt == command.address;
      reply = corrupt ? static_cast<std::uint8_t>(command.data ^ 0xFF) : command.data;
    }
    answered = counters.commands++;
    // Line noise: the device sent the right byte, the tool receives another.
    if (options.noisyAnswer == answered) reply ^= 0xFF;
  }
  if (!firstCommand) firstCommand = command.startedAt;
  Clock::time_point ready = at + std::chrono::milliseconds(options.latencyMs);
  if (options.jitterMs > 0 && happens(options.jitterPercent)) {
    ready += std::chrono::milliseconds(std::uniform_int_distribution<int>(0, options.jitterMs)(rng));
  }
  if (options.garbage > 0 && answered >= options.garbageFrom && happens(options.garbagePercent)) {
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (int i = 0; i < options.garbage; ++i) queue(static_cast<std::uint8_t>(anyByte(rng)), ready, false);
  }
  queue(reply, ready, true);
}

bool DeviceSimulator::Impl::happens(int percent) {
  // At 100 % nothing is drawn, so a seed gives the same garbage with or without a share.
  if (percent >= 100) return true;
  return std::uniform_int_distribution<int>(0, 99)(rng) < percent;
}

void DeviceSimulator::Impl::queue(std::uint8_t byte, Clock::time_point ready, bool isAnswer) {
  // One byte on the wire at a time, so answers leave in order.
  const Clock::time_point due = std::max(ready, txLineFree) + perByte;
  txLineFree = due;
  outgoing.push_back({byte, due, isAnswer});
}

void DeviceSimulator::Impl::countByteOut(int change) {
  std::lock_guard lock(imageMutex);
  counters.bytesOut += change;
}

void DeviceSimulator::Impl::send(Clock::time_point now) {
  while (master >= 0 && !outgoing.empty() && outgoing.front().due <= now) {
    const Outgoing next = outgoing.front();
    // Counted before it goes out, so whoever has read the byte sees it counted.
    countByteOut(+1);
    const ssize_t written = ::write(master, &next.byte, 1);
    if (written != 1) countByteOut(-1);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      waitWritable = true;  // the tool is not reading; wait until it does
      return;
    }
    outgoing.pop_front();
    if (written != 1) continue;  // the line is gone; the byte is lost like on a cut cable
    trace.byteOut(next.byte, now);
    if (next.answer) lastAnswer = now;
  }
  waitWritable = false;
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
