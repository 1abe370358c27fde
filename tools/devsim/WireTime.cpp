// The time bytes take on the wire: with --baud, bytes written at once arrive
// one byte time apart, and answers leave one byte at a time, in order.
#include "tools/devsim/SimulatorState.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lk24::devsim {

namespace {
constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
}  // namespace

Clock::duration byteTime(int baud) {
  if (baud <= 0) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(1'000'000'000LL * kBitsPerByte / baud));
}

// A short time slice makes a wake-up at an answer's due time preempt a busy
// neighbour promptly. Kernels without per-task slices refuse it; the timing
// is then only coarser.
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

Clock::time_point DeviceSimulator::Impl::arrival(Clock::time_point now) {
  if (perByte == Clock::duration::zero()) return now;
  rxLineFree = std::max(now, rxLineFree) + perByte;
  return rxLineFree;
}

void DeviceSimulator::Impl::queue(std::uint8_t byte, Clock::time_point ready, bool isAnswer) {
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

}  // namespace lk24::devsim
