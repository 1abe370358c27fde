#include "serial/AfComPortThreads.h"

#include "serial/AfThreadPlatform.h"
#include "serial/AfUtils.h"

#include <algorithm>
#include <chrono>
#include <mutex>

namespace {

constexpr int purgeWaitMs = 2000;

std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

bool IsSilentAbort(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAfSilentAbort&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

// --- base

TAfComPortCoreThread::TAfComPortCoreThread(TAfComPortCore& core, const char* name)
    : core_(core), device_(core.device_.get()), name_(name) {}

TAfComPortCoreThread::~TAfComPortCoreThread() {
  if (thread_.joinable()) {
    terminated_ = true;
    StopEvent.Set();
    thread_.join();
  }
}

void TAfComPortCoreThread::Start() {
  running_ = true;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    running_ = false;
    throw;
  }
  // Named here rather than by the thread itself, so the name is there when Start returns.
  AfNameThread(thread_, name_);
}

void TAfComPortCoreThread::Run() {
  tid_ = AfCurrentThreadId();
  try {
    Execute();
  } catch (...) {
    HandleException(std::current_exception());
  }
  running_ = false;
}

void TAfComPortCoreThread::StopThread() {
  terminated_ = true;
  StopEvent.Set();
  if (thread_.joinable()) thread_.join();
}

void TAfComPortCoreThread::SetPriority(TThreadPriority priority) {
  AfSetThreadPriority(tid_.load(), priority);
}

void TAfComPortCoreThread::HandleException(const std::exception_ptr& error) {
  if (!IsSilentAbort(error)) ShowStandardErrorLater(MessageOf(error));
}

// --- event thread

TAfComPortEventThread::TAfComPortEventThread(TAfComPortCore& core, TAfCoreEventProc callback)
    : TAfComPortCoreThread(core, AfEventThreadName), callback_(std::move(callback)) {
  Start();
}

TAfComPortEventThread::~TAfComPortEventThread() { StopThread(); }

void TAfComPortEventThread::StopThread() {
  callbackOn_ = false;
  terminated_ = true;
  device_->SetCommMask(0);
  device_->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
  TAfComPortCoreThread::StopThread();
}

void TAfComPortEventThread::Execute() {
  core_.OutputDoneEvent->ResetEvent();
  if (!device_->BeginEventWaits()) return;
  core_.StartedEvent->Set();

  TAfEvent* const waits[] = {&StopEvent, core_.OutputDoneEvent.get()};
  // Once the mask has been taken away the line is no longer watched; only
  // the stop, the output-done event and the idle poll act.
  bool lineWatched = true;
  while (!terminated_) {
    TAfWaitResult result;
    if (lineWatched) {
      result = device_->WaitCommEvent(waits, 200);
    } else {
      const int woken = AfWaitAny(waits, 200);
      result.kind = woken < 0 ? TAfWaitResult::TimedOut : TAfWaitResult::Woken;
      result.woken = woken;
    }
    switch (result.kind) {
      case TAfWaitResult::LineEvent:
        if (result.mask != 0) {
          Report(ceLineEvent, result.mask);
        } else {
          lineWatched = false;
        }
        break;
      case TAfWaitResult::Woken:
        if (result.woken == 0) {
          terminated_ = true;
        } else {
          Report(ceOutBufFree, 0);
        }
        break;
      case TAfWaitResult::TimedOut:
        IdlePoll();
        break;
      case TAfWaitResult::HungUp:
        // Nothing more will come from this device; the owner closes it.
        lineWatched = false;
        Report(ceHangUp, 0);
        break;
      case TAfWaitResult::Failed:
        // A device that cannot be waited on must not make this loop spin.
        if (AfWaitAny(waits, 200) == 0) terminated_ = true;
        break;
    }
  }
}

void TAfComPortEventThread::IdlePoll() {
  COMSTAT status{};
  core_.ComStatus(status);
  if (status.cbInQue > 0) Report(ceDataWaiting, status.cbInQue);
}

void TAfComPortEventThread::Report(TAfCoreEvent kind, std::uint32_t data,
                                   const std::exception_ptr& error) {
  if (!callbackOn_ || !callback_) return;
  try {
    callback_(&core_, kind, data, error);
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TAfComPortEventThread::HandleException(const std::exception_ptr& error) {
  if (IsSilentAbort(error)) return;
  if (callbackOn_ && callback_ && !reportingException_) {
    // The component raises it again on the main thread.
    reportingException_ = true;
    Report(ceException, 0, error);
    reportingException_ = false;
    return;
  }
  TAfComPortCoreThread::HandleException(error);
}

// --- write thread

TAfComPortWriteThread::TAfComPortWriteThread(TAfComPortCore& core)
    : TAfComPortCoreThread(core, AfWriteThreadName), buffer_(core.outQueueSize_) {
  Start();
}

TAfComPortWriteThread::~TAfComPortWriteThread() { TAfComPortCoreThread::StopThread(); }

void TAfComPortWriteThread::StopThread() {
  PurgeTx();
  TAfComPortCoreThread::StopThread();
}

void TAfComPortWriteThread::Execute() {
  core_.StartedEvent->Set();
  TAfEvent* const idle[] = {&StopEvent, &PurgeRequestEvent, &DataQueuedEvent};
  while (!terminated_) {
    switch (AfWaitAny(idle, -1)) {
      case 0: terminated_ = true; break;
      case 1: ServePurge(); break;
      case 2: WritePiece(); break;
      default: terminated_ = true; break;  // the wait itself failed
    }
  }
}

void TAfComPortWriteThread::WritePiece() {
  const std::uint8_t* piece = nullptr;
  std::int32_t size = 0;
  {
    std::lock_guard guard(core_.WriteLock);
    piece = buffer_.ReadPtr();
    size = buffer_.LinearBufUsed();
    busy_ = size > 0;
  }
  if (size == 0) return;

  // The piece is read without the lock: writers only fill free space, and
  // only this thread empties the buffer (ServePurge), never while writing.
  TAfEvent* const busy[] = {&StopEvent, &PurgeRequestEvent};
  const TAfWriteResult result = device_->Write(piece, size, busy);

  bool drained = false;
  {
    std::lock_guard guard(core_.WriteLock);
    busy_ = false;
    // Bytes that reached the driver leave the queue even when the write
    // stopped early, so that nothing goes out twice; never more than this
    // piece, whatever the device claims.
    if (result.written > 0) buffer_.Remove(std::min(result.written, size));
    if (result.ok) {
      if (buffer_.BufUsed() > 0) {
        DataQueuedEvent.Set();
      } else {
        drained = true;
      }
    }
  }
  if (drained) core_.OutputDoneEvent->Set();
  if (result.woken == 0) terminated_ = true;
  if (result.woken == 1) ServePurge();
}

void TAfComPortWriteThread::ServePurge() {
  {
    std::lock_guard guard(core_.WriteLock);
    // A caller that gave up waiting has taken its request back.
    if (!purgeRequested_) return;
    purgeRequested_ = false;
    DataQueuedEvent.ResetEvent();
    buffer_.Clear();
    purgeResult_ = device_->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
  }
  PurgeAckEvent.Set();
}

bool TAfComPortWriteThread::QueueWrite(const void* buffer, std::int32_t count) {
  std::lock_guard guard(core_.WriteLock);
  if (!buffer_.Write(buffer, count)) return false;
  DataQueuedEvent.Set();
  return true;
}

bool TAfComPortWriteThread::PurgeTx() {
  {
    std::lock_guard guard(core_.WriteLock);
    // Nothing queued and nothing in flight: the thread need not be woken.
    if (Running() && !busy_ && buffer_.BufUsed() == 0) {
      DataQueuedEvent.ResetEvent();
      return device_->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
    }
    purgeRequested_ = true;
  }
  // The write thread empties the buffer itself, between two pieces, so it
  // can never write purged bytes or take away bytes queued after the purge.
  PurgeAckEvent.ResetEvent();
  PurgeRequestEvent.Set();
  // The request itself says whether it was served: an acknowledgement may be
  // a late one of an earlier purge.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(purgeWaitMs);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const bool acknowledged = left.count() > 0 && PurgeAckEvent.Wait(int(left.count()));
    std::lock_guard guard(core_.WriteLock);
    if (!purgeRequested_) return purgeResult_;
    if (!acknowledged) {
      // Not served in time: the request is taken back, the buffer stays.
      purgeRequested_ = false;
      return false;
    }
  }
}
