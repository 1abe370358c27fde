#include "FakeSerialDevice.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

class FakeSerialDevice final : public TAfSerialDevice {
 public:
  explicit FakeSerialDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {
    std::lock_guard guard(line_->lock);
    ++line_->opens;
    ++line_->devicesAlive;
  }
  ~FakeSerialDevice() override {
    std::lock_guard guard(line_->lock);
    --line_->devicesAlive;
  }

  bool SetCommTimeouts(const COMMTIMEOUTS&) override { return true; }
  bool SetupComm(std::int32_t in, std::int32_t out) override { return in >= 0 && out >= 0; }

  bool SetCommMask(std::uint32_t mask) override {
    {
      std::lock_guard guard(line_->lock);
      line_->mask = mask;
      ++line_->maskGeneration;
    }
    line_->changed.notify_all();
    line_->wake.Set();
    return true;
  }

  bool SetCommState(const DCB& dcb) override {
    std::lock_guard guard(line_->lock);
    if (line_->refuseSettings) return false;
    line_->reportedRecord = dcb;
    return true;
  }

  bool GetCommState(DCB& dcb) override {
    std::lock_guard guard(line_->lock);
    dcb = line_->reportedRecord;
    return true;
  }

  // A held event thread never reports itself started; taking the mask away
  // (as stopping the thread does) lets it end.
  bool BeginEventWaits() override {
    std::unique_lock guard(line_->lock);
    if (!line_->holdEventThread) return true;
    line_->changed.wait(guard, [&] { return line_->mask == 0; });
    return false;
  }

  TAfWaitResult WaitCommEvent(std::span<TAfEvent* const> events, int timeoutMs) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint64_t generation;
    {
      std::lock_guard guard(line_->lock);
      generation = line_->maskGeneration;
    }
    for (;;) {
      // As the platform ranks them: the stop request, then the line, then
      // the engine's other events.
      if (!events.empty() && events[0]->TryTake()) return {TAfWaitResult::Woken, 0, 0};
      {
        std::lock_guard guard(line_->lock);
        if (line_->maskGeneration != generation) return {TAfWaitResult::LineEvent, 0, -1};
        const std::uint32_t seen = line_->pendingEvents & line_->mask;
        if (seen != 0) {
          line_->pendingEvents = 0;
          return {TAfWaitResult::LineEvent, seen, -1};
        }
      }
      for (std::size_t i = 1; i < events.size(); ++i) {
        if (events[i]->TryTake()) return {TAfWaitResult::Woken, 0, int(i)};
      }
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const int woken = AfWaitAny(events, left > 0 ? int(left) : 0, line_->wake.fd());
      if (woken < 0) return {TAfWaitResult::TimedOut, 0, -1};
      // Not taken here: the next pass ranks it against the line.
      if (woken < int(events.size())) {
        if (events[woken]->autoReset()) events[woken]->Set();
        continue;
      }
      line_->wake.TryTake();
    }
  }

  bool ClearCommError(std::uint32_t& errors, COMSTAT& status) override {
    std::lock_guard guard(line_->lock);
    errors = line_->pendingErrors;
    line_->pendingErrors = 0;
    status = COMSTAT{0, std::uint32_t(line_->received.size()), 0};
    return true;
  }

  bool PurgeComm(std::uint32_t flags) override {
    std::lock_guard guard(line_->lock);
    line_->purges.push_back(flags);
    if ((flags & PURGE_RXCLEAR) != 0) line_->received.clear();
    return true;
  }

  bool EscapeCommFunction(std::uint32_t) override { return true; }

  std::int32_t Read(void* buffer, std::int32_t count) override {
    std::lock_guard guard(line_->lock);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::int32_t n = 0;
    while (n < count && !line_->received.empty()) {
      bytes[n++] = line_->received.front();
      line_->received.pop_front();
    }
    return n;
  }

  TAfWriteResult Write(const void* buffer, std::int32_t count,
                       std::span<TAfEvent* const> events) override {
    bool block;
    int delayMs;
    {
      std::lock_guard guard(line_->lock);
      block = line_->blockWrites;
      delayMs = line_->writeDelayMs;
      if (line_->failWrites) throw std::runtime_error("device write failed");
      ++line_->writesStarted;
    }
    line_->changed.notify_all();
    // A slow line: the write is on its way and nothing stops it.
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (block) return TAfWriteResult{false, 0, AfWaitAny(events, -1)};
    std::lock_guard guard(line_->lock);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    line_->sent.insert(line_->sent.end(), bytes, bytes + count);
    return TAfWriteResult{true, count, -1};
  }

 private:
  std::shared_ptr<FakeLine> line_;
};

}  // namespace

void FakeLine::Receive(const std::vector<std::uint8_t>& bytes) {
  {
    std::lock_guard guard(lock);
    received.insert(received.end(), bytes.begin(), bytes.end());
    pendingEvents |= EV_RXCHAR;
  }
  wake.Set();
}

void FakeLine::Signal(std::uint32_t events, std::uint32_t errors) {
  {
    std::lock_guard guard(lock);
    pendingEvents |= events;
    pendingErrors |= errors;
  }
  wake.Set();
}

TAfDeviceFactory FakeFactory(std::shared_ptr<FakeLine> line) {
  return [line](int) {
    TAfOpenResult result;
    result.device = std::make_unique<FakeSerialDevice>(line);
    return result;
  };
}
