#pragma once
// Shared helpers of the serial tests: pseudo-terminals, event pumping, error
// capture, descriptor and thread counts.

#include "serial/AfComPortCore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Runs the Qt event loop of the main thread for `ms`.
void PumpEvents(int ms);
// Runs the event loop until `done` or `timeoutMs`; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// Collects what reaches the standard error display while it lives.
class ErrorCapture {
 public:
  ErrorCapture();
  ~ErrorCapture();
  std::vector<std::string> Messages() const;

 private:
  mutable std::mutex lock_;
  std::vector<std::string> messages_;
};

// A pseudo-terminal whose slave side stands in for a COM port.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  // Points LK24_COM<number> at the slave side.
  void BindTo(int number) const;
  void CloseMaster();

  void Send(const std::vector<std::uint8_t>& bytes) const;
  // Reads until `count` bytes came or `timeoutMs` passed.
  std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs) const;

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Engine events as the event thread reported them.
class EngineEvents {
 public:
  struct Entry {
    TAfCoreEvent kind;
    std::uint32_t data;
    std::chrono::steady_clock::time_point at;
  };
  TAfCoreEventProc Callback();
  bool WaitFor(const std::function<bool(const std::vector<Entry>&)>& done, int timeoutMs);
  std::vector<Entry> Snapshot() const;
  int Count(TAfCoreEvent kind) const;
  void Clear();

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;
};

int CountOpenDescriptors();
// Port engine threads alive in this process, found by their names.
int CountEngineThreads();
// The kernel lists a joined thread for a moment after it has woken its joiner:
// waits up to a second for the count to come down to `expected`, returns the last count.
int SettledEngineThreads(int expected);
