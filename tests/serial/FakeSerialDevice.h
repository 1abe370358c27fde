#pragma once
// An in-memory serial device for the faults a pseudo-terminal cannot give:
// refused settings, an event thread that never starts, line errors and
// modem-line changes, slow writes.

#include "serial/AfEvent.h"
#include "serial/AfPlatform.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

struct FakeLine {
  std::mutex lock;
  std::condition_variable changed;

  // Faults to give.
  bool refuseSettings = false;
  DCB reportedRecord{};       // what the device says it runs with
  bool holdEventThread = false;
  bool blockWrites = false;   // writes wait until the engine interrupts them
  bool failWrites = false;    // a write raises, which ends the write thread
  int writeDelayMs = 0;       // each write takes this long and cannot be interrupted

  // What the engine did.
  std::vector<std::uint8_t> sent;
  int writesStarted = 0;  // `changed` is notified at each
  std::vector<std::uint32_t> purges;
  std::uint32_t mask = 0;
  int opens = 0;
  int devicesAlive = 0;

  // What the line does.
  std::deque<std::uint8_t> received;
  std::uint32_t pendingEvents = 0;
  std::uint32_t pendingErrors = 0;
  std::uint64_t maskGeneration = 0;
  TAfEvent wake{TAfEvent::Reset::Auto};

  // Bytes arrive (one EV_RXCHAR).
  void Receive(const std::vector<std::uint8_t>& bytes);
  // A line event with optional CE_ errors.
  void Signal(std::uint32_t events, std::uint32_t errors = 0);
};

TAfDeviceFactory FakeFactory(std::shared_ptr<FakeLine> line);
