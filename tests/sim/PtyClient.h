#pragma once
// A plain termios client of the simulator's slave side: what any program on
// the other end of the cable would do, with no part of our serial stack.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lk24::devsim::test {

class PtyClient {
 public:
  explicit PtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd_, TCSANOW, &settings);
  }
  ~PtyClient() { close(); }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool send(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return false;  // hung up
      } else if (!waitFor(POLLOUT, std::chrono::milliseconds(1000))) {
        return false;
      }
    }
    return true;
  }

  // The next byte, or nothing when none comes within the wait.
  std::optional<std::uint8_t> receive(std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      std::uint8_t byte = 0;
      if (::read(fd_, &byte, 1) == 1) return byte;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
      if (left.count() <= 0 || !waitFor(POLLIN, left)) return std::nullopt;
    }
  }

  // Every byte that arrives within the wait.
  std::vector<std::uint8_t> drain(std::chrono::milliseconds wait) {
    std::vector<std::uint8_t> bytes;
    while (const auto byte = receive(wait)) bytes.push_back(*byte);
    return bytes;
  }

  // One exchange. The default wait is long, for answers that must come; a
  // test that expects none passes a short one.
  std::optional<std::uint8_t> read(int address, std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) {
    if (!send({0xE6, static_cast<std::uint8_t>(address)})) return std::nullopt;
    return receive(wait);
  }
  std::optional<std::uint8_t> write(int address, int data,
                                    std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) {
    if (!send({0xE9, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data)})) return std::nullopt;
    return receive(wait);
  }

  // What poll reports on the line within the wait.
  short pollEvents(short events, std::chrono::milliseconds wait) {
    pollfd entry{fd_, events, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0) return 0;
    return entry.revents;
  }

 private:
  bool waitFor(short events, std::chrono::milliseconds wait) {
    return (pollEvents(events, wait) & (events | POLLHUP | POLLERR)) != 0;
  }

  int fd_ = -1;
};

}  // namespace lk24::devsim::test
