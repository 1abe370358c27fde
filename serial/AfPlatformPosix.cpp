// The serial device over POSIX termios: real ttys and pseudo-terminals.
#include "serial/AfEvent.h"
#include "serial/AfPlatform.h"
#include "serial/AfPosixBaud.h"
#include "serial/AfTermiosSettings.h"

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

std::string AfComPortPath(int number) {
  const std::string variable = "LK24_COM" + std::to_string(number);
  if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') {
    return path;
  }
  return "/dev/ttyS" + std::to_string(number - 1);
}

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
  PosixSerialDevice(int fd, const termios& saved) : fd_(fd), saved_(saved) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    // Edge-triggered: every arrival is one line event, also while older
    // bytes are still unread.
    epoll_event interest{};
    interest.events = EPOLLIN | EPOLLET;
    interest.data.fd = fd_;
    watching_ = epoll_ >= 0 && epoll_ctl(epoll_, EPOLL_CTL_ADD, fd_, &interest) == 0;
    int lines = 0;
    hasModemLines_ = ioctl(fd_, TIOCMGET, &lines) == 0;
    modemLines_ = lines;
    serial_icounter_struct counts{};
    hasCounters_ = ioctl(fd_, TIOCGICOUNT, &counts) == 0;
    counts_ = counts;
    DCB current{};
    termios t{};
    if (tcgetattr(fd_, &t) == 0) ReadBack(t, fd_, current);
    applied_ = current;
  }

  ~PosixSerialDevice() override {
    if (epoll_ >= 0) close(epoll_);
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
      const std::uint32_t mask = mask_.load();
      fds[lineIndex].fd = watching_ && mask != 0 ? epoll_ : -1;
      const bool sampling = (hasModemLines_ && (mask & modemEventMask) != 0) ||
                            (hasCounters_ && (mask & EV_ERR) != 0);
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      int wait = left > 0 ? int(left) : 0;
      if (sampling && wait > lineSampleMs) wait = lineSampleMs;
      const int ready = poll(fds.data(), used, wait);
      if (ready < 0 && errno != EINTR) return TAfWaitResult{TAfWaitResult::Failed, 0, -1};
      if (ready > 0) {
        for (std::size_t i = 0; i < events.size(); ++i) {
          if ((fds[i].revents & POLLIN) != 0 && events[i]->TryTake()) {
            return TAfWaitResult{TAfWaitResult::Woken, 0, int(i)};
          }
        }
        if (fds[maskIndex].revents != 0) {
          maskChanged_.ResetEvent();
          if (maskGeneration_.load() != generation) return LineEvent(0);
        }
      }
      std::uint32_t seen = 0;
      if (ready > 0 && fds[lineIndex].revents != 0) seen |= TakeLineReadiness();
      if (sampling) seen |= SampleLines();
      seen &= mask;
      if (seen != 0) return LineEvent(seen);
      if (Clock::now() >= deadline) return TAfWaitResult{TAfWaitResult::TimedOut, 0, -1};
    }
  }

  bool ClearCommError(std::uint32_t& errors, COMSTAT& status) override {
    int inQueue = 0;
    int outQueue = 0;
    if (ioctl(fd_, FIONREAD, &inQueue) != 0) return false;
    if (ioctl(fd_, TIOCOUTQ, &outQueue) != 0) outQueue = 0;
    if (hasCounters_) SampleLines();
    {
      std::lock_guard guard(errorsLock_);
      errors = pendingErrors_;
      pendingErrors_ = 0;
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
        // The other end is gone for good; a hung-up descriptor would report
        // itself ready for ever, so stop watching it and report only bytes
        // that are really there.
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd_, nullptr);
        watching_ = false;
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) seen |= EV_RXCHAR;
      } else if ((ready[i].events & EPOLLIN) != 0) {
        seen |= EV_RXCHAR;
      }
    }
    return seen;
  }

  // Compares modem lines and error counters with their last values.
  std::uint32_t SampleLines() {
    std::uint32_t seen = 0;
    std::lock_guard guard(errorsLock_);
    if (hasModemLines_) {
      int lines = 0;
      if (ioctl(fd_, TIOCMGET, &lines) == 0) {
        for (const ModemEvent& m : modemEvents) {
          if (((lines ^ modemLines_) & m.line) != 0) seen |= m.event;
        }
        modemLines_ = lines;
      }
    }
    if (hasCounters_) {
      serial_icounter_struct now{};
      if (ioctl(fd_, TIOCGICOUNT, &now) == 0) {
        std::uint32_t errors = 0;
        if (now.buf_overrun != counts_.buf_overrun) errors |= CE_RXOVER;
        if (now.overrun != counts_.overrun) errors |= CE_OVERRUN;
        if (now.parity != counts_.parity) errors |= CE_RXPARITY;
        if (now.frame != counts_.frame) errors |= CE_FRAME;
        if (now.brk != counts_.brk) errors |= CE_BREAK;
        counts_ = now;
        if (errors != 0) {
          pendingErrors_ |= errors;
          seen |= EV_ERR;
        }
      }
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
  std::mutex errorsLock_;
  int modemLines_ = 0;
  serial_icounter_struct counts_{};
  std::uint32_t pendingErrors_ = 0;
};

bool MissingDevice(int error) { return error == ENOENT || error == ENODEV || error == ENXIO; }

}  // namespace

TAfOpenResult AfOpenPosixDevice(int number) {
  TAfOpenResult result;
  const std::string path = AfComPortPath(number);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.systemError = errno;
    result.error = MissingDevice(errno) ? TAfOpenResult::NotFound : TAfOpenResult::Refused;
    return result;
  }
  termios saved{};
  // flock also keeps out root, whom TIOCEXCL lets through.
  if (tcgetattr(fd, &saved) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    result.systemError = errno;
    result.error = TAfOpenResult::Refused;
    close(fd);
    return result;
  }
  ioctl(fd, TIOCEXCL);
  result.device = std::make_unique<PosixSerialDevice>(fd, saved);
  return result;
}
