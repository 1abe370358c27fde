#pragma once
// The engine's two threads. Internal to the engine: the component and the
// rest of the program use TAfComPortCore only.

#include "serial/AfCircularBuffer.h"
#include "serial/AfComPortCore.h"
#include "serial/AfEvent.h"
#include "serial/AfThreadPlatform.h"

#include <atomic>
#include <exception>
#include <thread>

inline constexpr const char* AfEventThreadName = "AfComEvents";
inline constexpr const char* AfWriteThreadName = "AfComWrites";

class TAfComPortCoreThread {
 public:
  // `name` shows in the system's thread list (at most 15 characters).
  TAfComPortCoreThread(TAfComPortCore& core, const char* name);
  virtual ~TAfComPortCoreThread();

  TAfComPortCoreThread(const TAfComPortCoreThread&) = delete;
  TAfComPortCoreThread& operator=(const TAfComPortCoreThread&) = delete;

  // Main thread: asks the thread to end and waits for it.
  virtual void StopThread();
  // Main thread, after the thread has signalled that it started.
  void SetPriority(TThreadPriority priority);
  bool Running() const { return running_.load(); }

 protected:
  // Launches the thread; the last step of each derived constructor.
  void Start();
  virtual void Execute() = 0;
  virtual void HandleException(const std::exception_ptr& error);

  TAfComPortCore& core_;
  TAfSerialDevice* device_;
  TAfEvent StopEvent{TAfEvent::Reset::Manual};
  std::atomic<bool> terminated_{false};

 private:
  void Run();

  const char* name_;
  std::thread thread_;
  std::atomic<TAfThreadId> tid_{0};
  std::atomic<bool> running_{false};
};

class TAfComPortEventThread final : public TAfComPortCoreThread {
 public:
  TAfComPortEventThread(TAfComPortCore& core, TAfCoreEventProc callback);
  ~TAfComPortEventThread() override;

  // Main thread: detaches the callback, ends a pending wait, then stops.
  void StopThread() override;

 protected:
  void Execute() override;
  void HandleException(const std::exception_ptr& error) override;

 private:
  void Report(TAfCoreEvent kind, std::uint32_t data, const std::exception_ptr& error = {});
  void IdlePoll();

  TAfCoreEventProc callback_;
  std::atomic<bool> callbackOn_{true};
  bool reportingException_ = false;
};

class TAfComPortWriteThread final : public TAfComPortCoreThread {
 public:
  explicit TAfComPortWriteThread(TAfComPortCore& core);
  ~TAfComPortWriteThread() override;

  // Any thread; WriteLock. Appends all bytes or none and wakes the thread.
  bool QueueWrite(const void* buffer, std::int32_t count);
  // Any thread; WriteLock. Discards queued and pending output; the write
  // thread does it between two pieces. False when it does not within 2000 ms.
  bool PurgeTx();
  // Caller holds WriteLock.
  std::int32_t BufFree() const { return buffer_.BufFree(); }
  // Main thread: discards queued output, then stops.
  void StopThread() override;

 protected:
  void Execute() override;

 private:
  void WritePiece();
  // Write thread: empties the buffer for a purge still asked for, then acks.
  void ServePurge();

  TAfEvent PurgeAckEvent{TAfEvent::Reset::Auto};
  TAfEvent PurgeRequestEvent{TAfEvent::Reset::Auto};
  TAfEvent DataQueuedEvent{TAfEvent::Reset::Auto};
  TAfCircularBuffer buffer_;
  bool busy_ = false;  // under WriteLock: a piece is on its way to the device
  bool purgeRequested_ = false;  // under WriteLock
  bool purgeResult_ = false;     // under WriteLock: the served purge's outcome
};
