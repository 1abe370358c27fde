#pragma once
// The port engine: owns one open device, runs an event thread that reports
// line events, output drained and idle data to one callback, and a write
// thread that drains the output ring buffer into the device.
//
// Locks: StatusLock guards status reads, line errors, receive purges and
// reads; WriteLock guards the ring buffer. WriteLock is only ever taken on
// its own or inside StatusLock, never the other way round.

#include "serial/AfPlatform.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// ceHangUp: the device went away (an adapter pulled); reported once, after
// any bytes still waiting. The line is no longer watched afterwards.
enum TAfCoreEvent {
  ceOutBufFree = 0, ceLineEvent = 1, ceDataWaiting = 2, ceException = 3, ceHangUp = 4
};

class EAfComPortCoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A refused open: the component's text, and what the port check found.
class EAfComPortOpenError : public EAfComPortCoreError {
 public:
  EAfComPortOpenError(const std::string& message, TAfPortAccess access)
      : EAfComPortCoreError(message), access_(std::move(access)) {}
  const TAfPortAccess& Access() const { return access_; }

 private:
  TAfPortAccess access_;
};

// Thrown by a callback to drop an event silently; the event thread discards it.
class EAfSilentAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "silent abort"; }
};

class TAfComPortCore;
class TAfEvent;
class TAfComPortEventThread;
class TAfComPortWriteThread;

// Runs on the event thread. `error` is set only for ceException.
using TAfCoreEventProc = std::function<void(TAfComPortCore* Sender, TAfCoreEvent Kind,
                                            std::uint32_t Data, const std::exception_ptr& error)>;

inline constexpr std::uint32_t AfDefaultEventMask =
    EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING;

class TAfComPortCore {
 public:
  TAfComPortCore();
  ~TAfComPortCore();

  TAfComPortCore(const TAfComPortCore&) = delete;
  TAfComPortCore& operator=(const TAfComPortCore&) = delete;

  // Main thread. False without effect when already active; raises
  // EAfComPortCoreError on failure and is then closed again.
  bool OpenComPort(std::int32_t number);
  // Main thread. Does nothing when not active.
  void CloseComPort();

  // Any thread; StatusLock. All zero when not open.
  void ComStatus(COMSTAT& status);
  // Any thread; StatusLock. Returns and clears the gathered CE_ bits.
  std::uint32_t TakeLineErrors();
  // Main thread; StatusLock. Bytes read (never waits), -1 when not open.
  std::int32_t ReadData(void* buffer, std::int32_t count);
  // Any thread; WriteLock. Queues all bytes or none.
  bool WriteData(const void* buffer, std::int32_t count);
  // Any thread; WriteLock. 0 when not open.
  std::int32_t OutBufFree();
  // Main thread; StatusLock.
  bool PurgeRx();
  // Main thread; WriteLock. Discards queued and pending output; False when the
  // write thread does not acknowledge within 2000 ms.
  bool PurgeTx();
  // Main thread. Stores the record and applies it when open; raises
  // "Error setting parameters from DCB" and re-reads the device's record.
  void SetDCB(const DCB& dcb);
  // Main thread.
  const DCB& GetDCB() const { return dcb_; }
  // Main thread.
  bool EscapeComm(std::uint32_t function);

  // Main thread; applied at once to a running thread.
  void SetEventThreadPriority(TThreadPriority priority);
  void SetWriteThreadPriority(TThreadPriority priority);
  TThreadPriority EventThreadPriority() const { return eventPriority_; }
  TThreadPriority WriteThreadPriority() const { return writePriority_; }
  // Main thread; used at the next open.
  void SetInBufSize(std::int32_t size) { inQueueSize_ = size; }
  void SetOutBufSize(std::int32_t size) { outQueueSize_ = size; }
  std::int32_t InBufSize() const { return inQueueSize_; }
  std::int32_t OutBufSize() const { return outQueueSize_; }
  std::uint32_t EventMask() const { return eventMask_; }
  // Main thread, while closed; used at the next open.
  void SetEventMask(std::uint32_t mask) { eventMask_ = mask; }

  // Main thread. The device the last successful open reached, and its
  // adapter's latency timer as read after asking for low latency.
  const std::string& DevicePath() const { return devicePath_; }
  std::optional<int> LatencyTimerMs() const { return latencyTimerMs_; }

  // Main thread, while closed.
  void SetCallback(TAfCoreEventProc callback) { callback_ = std::move(callback); }
  // Main thread, while closed. An empty factory restores the platform's device.
  void SetDeviceFactory(TAfDeviceFactory factory);

  // Any thread.
  bool Active() const { return active_.load(); }
  bool Opened() const { return opened_.load(); }
  std::int32_t ComNumber() const { return number_; }

 private:
  friend class TAfComPortCoreThread;
  friend class TAfComPortEventThread;
  friend class TAfComPortWriteThread;

  void OpenSequence();
  void CloseSequence();
  void ApplyDCB();
  void StartThread(const char* which);

  std::atomic<bool> opened_{false};
  std::int32_t number_ = 0;
  DCB dcb_{};
  std::uint32_t eventMask_ = AfDefaultEventMask;
  std::unique_ptr<TAfSerialDevice> device_;
  std::atomic<bool> active_{false};
  std::uint32_t lineErrors_ = 0;
  std::int32_t inQueueSize_ = 8192;
  std::int32_t outQueueSize_ = 4096;
  TAfCoreEventProc callback_;
  std::mutex StatusLock;
  std::mutex WriteLock;
  std::unique_ptr<TAfComPortEventThread> eventThread_;
  std::unique_ptr<TAfEvent> StartedEvent;
  std::unique_ptr<TAfEvent> OutputDoneEvent;
  std::unique_ptr<TAfComPortWriteThread> writeThread_;
  TThreadPriority writePriority_ = tpHigher;
  TThreadPriority eventPriority_ = tpNormal;
  TAfDeviceFactory factory_;
  std::string devicePath_;
  std::optional<int> latencyTimerMs_;
};
