// The serial device over POSIX termios: real ttys and pseudo-terminals.
#include "serial/AfEvent.h"
#include "serial/AfPlatform.h"
#include "serial/AfPortLockPosix.h"
#include "serial/AfBaudPosix.h"
#include "serial/AfTermiosSettingsPosix.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// Every field termios holds, with the rate from termios2 when it has one.
void ReadBack(const termios& t, int fd, DCB& dcb) {
  AfTermiosToDCB(t, dcb);
  if (std::uint32_t any = 0; AfGetAnyBaud(fd, any) && any != 0) dcb.BaudRate = any;
}

// A device without modem lines (a pseudo-terminal) answers these ioctls with
// ENOTTY or EINVAL; that is no failure.
bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

struct ModemEvent {
  int line;
  std::uint32_t event;
};
constexpr ModemEvent modemEvents[] = {
    {TIOCM_CTS, EV_CTS}, {TIOCM_DSR, EV_DSR}, {TIOCM_RNG, EV_RING}, {TIOCM_CAR, EV_RLSD}};
constexpr std::uint32_t modemEventMask = EV_CTS | EV_DSR | EV_RING | EV_RLSD;

// Modem lines and error counters have no wake-up of their own; while the
// mask asks for them they are compared at this interval.
constexpr int lineSampleMs = 20;

// The engine waits on two events of its own beside the line.
constexpr std::size_t maxWaitEvents = 6;

class PosixSerialDevice final : public TAfSerialDevice {
 public:
  PosixSerialDevice(int fd, const termios& saved, TAfPortLock lock,
                    std::optional<serial_struct> restoreSerial)
      : fd_(fd), saved_(saved), lock_(std::move(lock)), restoreSerial_(restoreSerial) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    // Edge-triggered: every arrival is one line event, also while older
    // bytes are still unread.
    epoll_event interest{};
    interest.events = EPOLLIN | EPOLLET;
    interest.data.fd = fd_;
    watching_ = epoll_ >= 0 && epoll_ctl(epoll_, EPOLL_CTL_ADD, fd_, &interest) == 0;
    int lines = 0;
    hasModemLines_ = AfSysIoctl(fd_, TIOCMGET, &lines) == 0;
    modemLines_ = lines;
    serial_icounter_struct counts{};
    hasCounters_ = AfSysIoctl(fd_, TIOCGICOUNT, &counts) == 0;
    counts_ = counts;
    DCB current{};
    termios t{};
    if (tcgetattr(fd_, &t) == 0) ReadBack(t, fd_, current);
    applied_ = current;
  }

  ~PosixSerialDevice() override {
    if (epoll_ >= 0) close(epoll_);
    if (restoreSerial_) AfSysIoctl(fd_, TIOCSSERIAL, &*restoreSerial_);
    tcsetattr(fd_, TCSANOW, &saved_);
    // Exclusive mode would outlive us on a pseudo-terminal whose master stays.
    ioctl(fd_, TIOCNXCL);
    close(fd_);
  }

  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
    // Reads never wait on this descriptor, whatever the time-outs say.
    timeouts_ = timeouts;
    return true;
  }

  bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) override {
    if (inQueue < 0 || outQueue < 0) return false;
    inQueue_ = inQueue;
    outQueue_ = outQueue;
    return true;
  }

  bool SetCommMask(std::uint32_t mask) override {
    mask_.store(mask);
    maskGeneration_.fetch_add(1);
    maskChanged_.Set();
    return true;
  }

  bool SetCommState(const DCB& dcb) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    AfMakeRaw(t);
    if (dcb.BaudRate == 0) return false;
    const bool standardRate = AfApplyBaud(t, dcb.BaudRate);
    if (!standardRate) {
      cfsetispeed(&t, B38400);
      cfsetospeed(&t, B38400);
    }
    if (!AfApplyByteSize(t, dcb.ByteSize) ||
        !AfApplyParity(t, dcb.Parity, (dcb.Flags & dcb_Parity) != 0) ||
        !AfApplyStopBits(t, dcb.StopBits, dcb.ByteSize) || !AfApplyFlowControl(t, dcb)) {
      return false;
    }
    termios before{};
    if (tcgetattr(fd_, &before) != 0) return false;
    // tcsetattr succeeds when any part is taken; a driver may drop the rest
    // silently (a pseudo-terminal keeps 8 bits and no parity), so compare.
    termios now{};
    if (tcsetattr(fd_, TCSANOW, &t) != 0 || tcgetattr(fd_, &now) != 0 ||
        (now.c_cflag & AfCheckedCflags) != (t.c_cflag & AfCheckedCflags) ||
        (now.c_iflag & AfCheckedIflags) != (t.c_iflag & AfCheckedIflags) ||
        (!standardRate && !AfSetAnyBaud(fd_, dcb.BaudRate))) {
      tcsetattr(fd_, TCSANOW, &before);
      return false;
    }
    {
      std::lock_guard guard(settingsLock_);
      applied_ = dcb;
    }
    const std::uint32_t dtr = dcb.Flags & dcb_DtrControlMask;
    EscapeCommFunction(dtr == dcb_DtrControlEnable ? SETDTR : CLRDTR);
    const std::uint32_t rts = dcb.Flags & dcb_RtsControlMask;
    if (rts != dcb_RtsControlHandshake) {
      EscapeCommFunction(rts == dcb_RtsControlEnable ? SETRTS : CLRRTS);
    }
    return true;
  }

  bool GetCommState(DCB& dcb) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    {
      std::lock_guard guard(settingsLock_);
      dcb = applied_;
    }
    ReadBack(t, fd_, dcb);
    return true;
  }

  bool BeginEventWaits() override { return epoll_ >= 0; }

  TAfWaitResult WaitCommEvent(std::span<TAfEvent* const> events, int timeoutMs) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Only a mask change after this point ends the wait; an older one leaves
    // a stale signal that is drained on the way.
    const std::uint64_t generation = maskGeneration_.load();
    if (events.size() > maxWaitEvents) return TAfWaitResult{TAfWaitResult::Failed, 0, -1};
    std::array<pollfd, maxWaitEvents + 2> fds{};
    std::size_t used = 0;
    for (TAfEvent* e : events) fds[used++] = pollfd{e->fd(), POLLIN, 0};
    fds[used++] = pollfd{maskChanged_.fd(), POLLIN, 0};
    fds[used++] = pollfd{epoll_, POLLIN, 0};
    const std::size_t maskIndex = events.size();
    const std::size_t lineIndex = events.size() + 1;

    for (;;) {
      if (hangUpPending_.exchange(false)) return TAfWaitResult{TAfWaitResult::HungUp, 0, -1};
      const std::uint32_t mask = mask_.load();
      fds[lineIndex].fd = watching_ && mask != 0 ? epoll_ : -1;
      // Modem lines only while asked for: on a USB adapter each look is a
      // control request on the bus.
      const bool sampling = (hasModemLines_ && (mask & modemEventMask) != 0) ||
                            (hasCounters_ && (mask & EV_ERR) != 0);
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      int wait = left > 0 ? int(left) : 0;
      if (sampling && wait > lineSampleMs) wait = lineSampleMs;
      const int ready = poll(fds.data(), used, wait);
      if (ready < 0 && errno != EINTR) return TAfWaitResult{TAfWaitResult::Failed, 0, -1};
      if (ready > 0 && !events.empty() && (fds[0].revents & POLLIN) != 0 && events[0]->TryTake()) {
        return TAfWaitResult{TAfWaitResult::Woken, 0, 0};
      }
      if (ready > 0 && fds[maskIndex].revents != 0) {
        maskChanged_.ResetEvent();
        if (maskGeneration_.load() != generation) return LineEvent(0);
      }
      std::uint32_t seen = 0;
      if (ready > 0 && fds[lineIndex].revents != 0) seen |= TakeLineReadiness();
      if (sampling) SampleLines(mask);
      seen |= TakePendingEvents(mask);
      seen &= mask;
      if (seen != 0) return LineEvent(seen);
      if (hangUpPending_.exchange(false)) return TAfWaitResult{TAfWaitResult::HungUp, 0, -1};
      // The line goes before the engine's other events, as in its wait list.
      for (std::size_t i = 1; ready > 0 && i < events.size(); ++i) {
        if ((fds[i].revents & POLLIN) != 0 && events[i]->TryTake()) {
          return TAfWaitResult{TAfWaitResult::Woken, 0, int(i)};
        }
      }
      if (Clock::now() >= deadline) return TAfWaitResult{TAfWaitResult::TimedOut, 0, -1};
    }
  }

  bool ClearCommError(std::uint32_t& errors, COMSTAT& status) override {
    int inQueue = 0;
    int outQueue = 0;
    if (ioctl(fd_, FIONREAD, &inQueue) != 0) return false;
    if (ioctl(fd_, TIOCOUTQ, &outQueue) != 0) outQueue = 0;
    // The counters are kept by the driver itself, so this costs no bus
    // request; what changed waits for its EV_ERR.
    if (hasCounters_) SampleCounters(mask_.load());
    {
      std::lock_guard guard(errorsLock_);
      errors = reportedErrors_;
      reportedErrors_ = 0;
    }
    status = COMSTAT{0, std::uint32_t(inQueue), std::uint32_t(outQueue)};
    return true;
  }

  bool PurgeComm(std::uint32_t flags) override {
    const bool tx = (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) != 0;
    const bool rx = (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) != 0;
    if (!tx && !rx) return true;
    return tcflush(fd_, tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH) == 0;
  }

  bool EscapeCommFunction(std::uint32_t function) override {
    int line = 0;
    unsigned long request = 0;
    switch (function) {
      case SETDTR: line = TIOCM_DTR; request = TIOCMBIS; break;
      case CLRDTR: line = TIOCM_DTR; request = TIOCMBIC; break;
      case SETRTS: line = TIOCM_RTS; request = TIOCMBIS; break;
      case CLRRTS: line = TIOCM_RTS; request = TIOCMBIC; break;
      default: return false;
    }
    return ioctl(fd_, request, &line) == 0 || NoModemLines(errno);
  }

  std::int32_t Read(void* buffer, std::int32_t count) override {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
      const ssize_t n = read(fd_, bytes + done, std::size_t(count - done));
      if (n > 0) {
        done += std::int32_t(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        // Nothing more waiting (EAGAIN), the line hung up (0) or failed.
        if (n < 0 && errno != EAGAIN && done == 0) return -1;
        break;
      }
    }
    return done;
  }

  TAfWriteResult Write(const void* buffer, std::int32_t count,
                       std::span<TAfEvent* const> events) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    TAfWriteResult result;
    std::vector<pollfd> fds;
    while (result.written < count) {
      const ssize_t n = write(fd_, bytes + result.written, std::size_t(count - result.written));
      if (n > 0) {
        result.written += std::int32_t(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return result;
      // The driver's queue is full: wait for room or for the engine.
      if (fds.empty()) {
        for (TAfEvent* e : events) fds.push_back(pollfd{e->fd(), POLLIN, 0});
        fds.push_back(pollfd{fd_, POLLOUT, 0});
      }
      for (;;) {
        const int ready = poll(fds.data(), fds.size(), -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return result;
        break;
      }
      for (std::size_t i = 0; i < events.size(); ++i) {
        if ((fds[i].revents & POLLIN) != 0 && events[i]->TryTake()) {
          result.woken = int(i);
          return result;
        }
      }
      if ((fds.back().revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return result;
    }
    result.ok = true;
    return result;
  }

 private:
  static TAfWaitResult LineEvent(std::uint32_t mask) {
    return TAfWaitResult{TAfWaitResult::LineEvent, mask, -1};
  }

  // Event thread: what the edge-triggered set reported since the last look.
  std::uint32_t TakeLineReadiness() {
    epoll_event ready[4];
    const int n = epoll_wait(epoll_, ready, 4, 0);
    std::uint32_t seen = 0;
    for (int i = 0; i < n; ++i) {
      if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
        // The device is gone for good; a hung-up descriptor would report
        // itself ready for ever, so stop watching it, report bytes that are
        // really there, then the hang-up itself.
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd_, nullptr);
        watching_ = false;
        hangUpPending_ = true;
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) seen |= EV_RXCHAR;
      } else if ((ready[i].events & EPOLLIN) != 0) {
        seen |= EV_RXCHAR;
      }
    }
    return seen;
  }

  // Event thread: compares the modem lines and error counters with their
  // last values; changes stay pending until a wait reports them.
  void SampleLines(std::uint32_t mask) {
    if (hasModemLines_ && (mask & modemEventMask) != 0) {
      int lines = 0;
      if (AfSysIoctl(fd_, TIOCMGET, &lines) == 0) {
        std::lock_guard guard(errorsLock_);
        for (const ModemEvent& m : modemEvents) {
          if (((lines ^ modemLines_) & m.line) != 0) pendingEvents_ |= m.event;
        }
        modemLines_ = lines;
      }
    }
    if (hasCounters_) SampleCounters(mask);
  }

  // Any thread. New errors wait for their EV_ERR, unless no mask asks for it.
  void SampleCounters(std::uint32_t mask) {
    serial_icounter_struct now{};
    if (AfSysIoctl(fd_, TIOCGICOUNT, &now) != 0) return;
    std::lock_guard guard(errorsLock_);
    std::uint32_t errors = 0;
    if (now.buf_overrun != counts_.buf_overrun) errors |= CE_RXOVER;
    if (now.overrun != counts_.overrun) errors |= CE_OVERRUN;
    if (now.parity != counts_.parity) errors |= CE_RXPARITY;
    if (now.frame != counts_.frame) errors |= CE_FRAME;
    if (now.brk != counts_.brk) errors |= CE_BREAK;
    counts_ = now;
    if (errors == 0) return;
    if ((mask & EV_ERR) != 0) {
      unreportedErrors_ |= errors;
      pendingEvents_ |= EV_ERR;
    } else {
      reportedErrors_ |= errors;
    }
  }

  // Event thread: the pending changes the mask asks for; reporting EV_ERR
  // hands its errors on to the status reads.
  std::uint32_t TakePendingEvents(std::uint32_t mask) {
    std::lock_guard guard(errorsLock_);
    const std::uint32_t seen = pendingEvents_ & mask;
    pendingEvents_ &= ~seen;
    if ((seen & EV_ERR) != 0) {
      reportedErrors_ |= unreportedErrors_;
      unreportedErrors_ = 0;
    }
    return seen;
  }

  int fd_;
  termios saved_;
  int epoll_ = -1;
  bool watching_ = false;
  std::atomic<std::uint32_t> mask_{0};
  std::atomic<std::uint64_t> maskGeneration_{0};
  TAfEvent maskChanged_{TAfEvent::Reset::Manual};
  COMMTIMEOUTS timeouts_{};
  std::int32_t inQueue_ = 0;
  std::int32_t outQueue_ = 0;
  std::mutex settingsLock_;
  DCB applied_{};
  bool hasModemLines_ = false;
  bool hasCounters_ = false;
  std::atomic<bool> hangUpPending_{false};
  std::mutex errorsLock_;  // the four below
  int modemLines_ = 0;
  serial_icounter_struct counts_{};
  std::uint32_t pendingEvents_ = 0;     // EV_ bits seen, not yet reported
  std::uint32_t unreportedErrors_ = 0;  // CE_ bits waiting for their EV_ERR
  std::uint32_t reportedErrors_ = 0;    // CE_ bits for the next status read
  TAfPortLock lock_;                    // released after the descriptor is closed
  std::optional<serial_struct> restoreSerial_;
};

TAfOpenResult Failure(TAfOpenResult::Error error, TAfPortAccess access) {
  TAfOpenResult result;
  result.error = error;
  result.systemError = access.systemError;
  result.access = std::move(access);
  return result;
}

// Why open() refused, in the terms of the port check.
TAfOpenResult OpenFailure(int error, const std::string& path, const TAfPortRoots& roots, bool onBoard) {
  TAfPortAccess access;
  access.devicePath = path;
  access.systemError = error;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      access.state = TAfPortState::Missing;
      return Failure(TAfOpenResult::NotFound, std::move(access));
    case EIO:
      // An on-board node with no UART refuses with EIO; an adapter that does
      // so is there but does not answer.
      if (!onBoard) {
        access.state = TAfPortState::Failed;
        break;
      }
      access.state = TAfPortState::NoUart;
      return Failure(TAfOpenResult::NotFound, std::move(access));
    case EACCES:
    case EPERM:
      access.state = TAfPortState::NoPermission;
      access.group = AfDeviceGroup(path);
      break;
    case EBUSY:
      access.state = TAfPortState::Held;
      access.holder = AfFindPortHolder(path, roots, getpid());
      break;
    default:
      access.state = TAfPortState::Failed;
      break;
  }
  return Failure(TAfOpenResult::Refused, std::move(access));
}

// Asks the driver to pass each byte on at once (ftdi_sio: a 1 ms latency
// timer). Returns the flags to restore at close, when they were changed; a
// driver without the request (a pty) is no failure.
std::optional<serial_struct> AskLowLatency(int fd) {
  serial_struct serial{};
  if (AfSysIoctl(fd, TIOCGSERIAL, &serial) != 0) return std::nullopt;
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return std::nullopt;
  const serial_struct previous = serial;
  serial.flags |= ASYNC_LOW_LATENCY;
  if (AfSysIoctl(fd, TIOCSSERIAL, &serial) != 0) return std::nullopt;
  return previous;
}

}  // namespace

TAfOpenResult AfOpenPosixDevice(int number, const TAfPortRoots& roots) {
  const TAfComResolution com = AfResolveComPort(number, roots);
  TAfPortAccess access;
  access.devicePath = com.devicePath;
  if (com.source == TAfComResolution::NoPort) {
    access.state = TAfPortState::NoPort;
    return Failure(TAfOpenResult::NotFound, std::move(access));
  }
  const std::string& path = com.devicePath;
  // A file, a folder or /dev/null is named for what it is, not searched for holders.
  if (const auto what = AfNotSerial(path, roots)) {
    access.state = TAfPortState::NotSerial;
    access.notSerial = *what;
    return Failure(TAfOpenResult::Refused, std::move(access));
  }
  if (!com.info) {
    access.state = TAfPortState::Missing;
    access.systemError = ENOENT;
    return Failure(TAfOpenResult::NotFound, std::move(access));
  }
  if (com.info->kind == TAfPortKind::OnBoardNoUart) {
    access.state = TAfPortState::NoUart;
    return Failure(TAfOpenResult::NotFound, std::move(access));
  }
  // The wake-up run would go into the user's session.
  if (com.info->console && !com.onPurpose) {
    access.state = TAfPortState::Console;
    return Failure(TAfOpenResult::Refused, std::move(access));
  }
  // Everything that can refuse the port looks before open(2): every
  // non-blocking open of a tty raises DTR and RTS, also one refused later,
  // and a port held elsewhere must be left as its holder set it. The lock
  // file first, as the other programs of the convention do.
  TAfPortLock lock = TAfPortLock::Take(com.info->kernelName, roots, access.holder);
  if (!access.holder) access.holder = AfFindPortHolder(path, roots, getpid());
  if (access.holder) {
    access.state = TAfPortState::Held;
    access.systemError = EBUSY;
    return Failure(TAfOpenResult::Refused, std::move(access));
  }
  const bool onBoard = com.info->kind == TAfPortKind::OnBoard;
  const int fd = AfSysOpen(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailure(errno, path, roots, onBoard);
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) {
    const int error = errno;
    close(fd);
    return OpenFailure(error, path, roots, onBoard);
  }
  // A holder /proc does not show (another user's program) is still kept
  // out: by its TIOCEXCL at open (EBUSY) or by its flock here, which also
  // stops root, whom TIOCEXCL lets through.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    access.state = TAfPortState::Held;
    access.systemError = EWOULDBLOCK;
    return Failure(TAfOpenResult::Refused, std::move(access));
  }
  ioctl(fd, TIOCEXCL);
  const std::optional<serial_struct> restoreSerial = AskLowLatency(fd);
  TAfOpenResult result;
  result.access = std::move(access);
  result.latencyTimerMs = AfLatencyTimerMs(*com.info, roots);
  result.device = std::make_unique<PosixSerialDevice>(fd, saved, std::move(lock), restoreSerial);
  return result;
}

TAfOpenResult AfOpenPlatformDevice(int number) { return AfOpenPosixDevice(number); }
