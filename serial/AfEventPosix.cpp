#include "serial/AfEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>

TAfEvent::TAfEvent(Reset mode) : native_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), mode_(mode) {
  if (native_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

TAfEvent::~TAfEvent() { close(fd()); }

void TAfEvent::Set() {
  const std::uint64_t one = 1;
  // The counter only overflows after 2^64 sets; a failed write means it is set.
  (void)!write(fd(), &one, sizeof one);
}

void TAfEvent::ResetEvent() {
  std::uint64_t value;
  (void)!read(fd(), &value, sizeof value);
}

bool TAfEvent::TryTake() {
  if (mode_ == Reset::Auto) {
    std::uint64_t value;
    return read(fd(), &value, sizeof value) == sizeof value;
  }
  pollfd p{fd(), POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

bool TAfEvent::Wait(int timeoutMs) {
  TAfEvent* self = this;
  return AfWaitAny(std::span<TAfEvent* const>(&self, 1), timeoutMs) == 0;
}

int AfWaitAny(std::span<TAfEvent* const> events, int timeoutMs, int extraFd) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  // The engine waits on at most a handful of events; no allocation per wait.
  constexpr std::size_t maxEvents = 8;
  if (events.size() > maxEvents) return -1;
  std::array<pollfd, maxEvents + 1> fds{};
  std::size_t used = 0;
  for (TAfEvent* e : events) fds[used++] = pollfd{e->fd(), POLLIN, 0};
  if (extraFd >= 0) fds[used++] = pollfd{extraFd, POLLIN, 0};
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? int(left) : 0;
    }
    const int n = poll(fds.data(), used, wait);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return -1;
    for (std::size_t i = 0; i < events.size(); ++i) {
      // Another waiter may have taken an auto-reset event first; then wait on.
      if ((fds[i].revents & POLLIN) != 0 && events[i]->TryTake()) return int(i);
    }
    if (extraFd >= 0 && fds[used - 1].revents != 0) return int(events.size());
    if (timeoutMs >= 0 && Clock::now() >= deadline) return -1;
  }
}
