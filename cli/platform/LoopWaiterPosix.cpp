#include "cli/platform/LoopWaiter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace lk24::cli {

LoopWaiter::LoopWaiter() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("event loop: no pipe");
}

LoopWaiter::~LoopWaiter() {
  for (int fd : pipe_) ::close(fd);
}

void LoopWaiter::wake() {
  const char byte = 1;
  // A full pipe already holds a wake-up.
  (void)!::write(pipe_[1], &byte, 1);
}

std::vector<int> LoopWaiter::wait(const std::vector<int>& watched, std::optional<std::chrono::milliseconds> timeout) {
  std::vector<pollfd> polled{{pipe_[0], POLLIN, 0}};
  for (int fd : watched) polled.push_back({fd, POLLIN, 0});
  const int ms = timeout ? static_cast<int>(std::max<std::chrono::milliseconds::rep>(timeout->count(), 0)) : -1;
  std::vector<int> readable;
  if (::poll(polled.data(), polled.size(), ms) <= 0) return readable;  // time-out, or a signal came
  if (polled[0].revents != 0) {
    char drained[64];
    while (::read(pipe_[0], drained, sizeof drained) > 0) {
    }
  }
  for (std::size_t i = 1; i < polled.size(); ++i) {
    if (polled[i].revents != 0) readable.push_back(polled[i].fd);
  }
  return readable;
}

}  // namespace lk24::cli
