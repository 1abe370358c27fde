#include "serial/AfComPortCore.h"

#include "serial/AfByteTrace.h"
#include "serial/AfComPortThreads.h"
#include "serial/AfEvent.h"

#include <cstdio>
#include <string>
#include <system_error>

namespace {

constexpr int threadStartMs = 3000;

[[noreturn]] void Fail(const char* message) { throw EAfComPortCoreError(message); }

[[noreturn]] void FailForPort(const char* format, std::int32_t number) {
  char text[64];
  std::snprintf(text, sizeof text, format, int(number));
  throw EAfComPortCoreError(text);
}

// The one place where a refused open becomes the component's message; what
// the port check found travels with it for the user's line.
[[noreturn]] void FailOpen(const TAfOpenResult& result, std::int32_t number) {
  char text[64];
  std::snprintf(text, sizeof text,
                result.error == TAfOpenResult::NotFound ? "Invalid port number (COM%d)"
                                                        : "Can't open device COM%d",
                int(number));
  TAfPortAccess access = result.access;
  if (access.systemError == 0) access.systemError = result.systemError;
  throw EAfComPortOpenError(text, std::move(access));
}

}  // namespace

TAfComPortCore::TAfComPortCore()
    : StartedEvent(std::make_unique<TAfEvent>(TAfEvent::Reset::Auto)),
      OutputDoneEvent(std::make_unique<TAfEvent>(TAfEvent::Reset::Auto)) {}

TAfComPortCore::~TAfComPortCore() { CloseComPort(); }

void TAfComPortCore::SetDeviceFactory(TAfDeviceFactory factory) { factory_ = std::move(factory); }

bool TAfComPortCore::OpenComPort(std::int32_t number) {
  if (active_) return false;
  if (number <= 0) FailForPort("Invalid port number (COM%d)", number);
  number_ = number;
  OpenSequence();
  return true;
}

void TAfComPortCore::OpenSequence() {
  TAfOpenResult result = factory_ ? factory_(number_) : AfOpenPlatformDevice(number_);
  if (!result.device) FailOpen(result, number_);
  device_ = AfTraceDevice(std::move(result.device), number_, result.access.devicePath);
  devicePath_ = result.access.devicePath;
  latencyTimerMs_ = result.latencyTimerMs;
  try {
    eventThread_.reset();
    writeThread_.reset();
    // Reads return at once with what is waiting; writes have no time-out.
    if (!device_->SetCommTimeouts(COMMTIMEOUTS{0xFFFFFFFFu, 0, 0, 0, 0})) {
      Fail("Error setting timeouts");
    }
    if (!device_->SetupComm(inQueueSize_, outQueueSize_)) Fail("Error initializing buffers");
    if (!device_->SetCommMask(eventMask_)) Fail(" Error setting EventMask");
    ApplyDCB();
    {
      std::lock_guard guard(StatusLock);
      lineErrors_ = 0;
    }
    StartedEvent->ResetEvent();
    StartThread("write");
    opened_ = true;
    StartThread("event");
    active_ = true;
  } catch (...) {
    CloseSequence();
    throw;
  }
}

void TAfComPortCore::StartThread(const char* which) {
  const bool events = which[0] == 'e';
  try {
    if (events) {
      eventThread_ = std::make_unique<TAfComPortEventThread>(*this, callback_);
    } else {
      writeThread_ = std::make_unique<TAfComPortWriteThread>(*this);
    }
  } catch (const std::system_error&) {
    Fail("Error creating threads");
  }
  if (!StartedEvent->Wait(threadStartMs)) Fail("Error creating threads");
  if (events) {
    eventThread_->SetPriority(eventPriority_);
  } else {
    writeThread_->SetPriority(writePriority_);
  }
}

void TAfComPortCore::CloseComPort() {
  if (!active_ && !device_) return;
  CloseSequence();
  active_ = false;
}

void TAfComPortCore::CloseSequence() {
  if (!device_) return;
  opened_ = false;
  {
    std::lock_guard guard(StatusLock);
    device_->PurgeComm(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  }
  // The threads are stopped outside StatusLock: an event-thread status read
  // that passed the opened test just before may still need that lock.
  if (writeThread_) {
    writeThread_->StopThread();
    writeThread_.reset();
  }
  if (eventThread_) {
    eventThread_->StopThread();
    eventThread_.reset();
  }
  device_.reset();
}

void TAfComPortCore::ComStatus(COMSTAT& status) {
  status = COMSTAT{};
  if (!opened_) return;
  std::lock_guard guard(StatusLock);
  std::uint32_t errors = 0;
  COMSTAT current{};
  if (device_->ClearCommError(errors, current)) {
    lineErrors_ |= errors;
    status = current;
  }
}

std::uint32_t TAfComPortCore::TakeLineErrors() {
  if (!opened_) return 0;
  std::lock_guard guard(StatusLock);
  const std::uint32_t errors = lineErrors_;
  lineErrors_ = 0;
  return errors;
}

std::int32_t TAfComPortCore::ReadData(void* buffer, std::int32_t count) {
  if (!opened_) return -1;
  std::lock_guard guard(StatusLock);
  if (count <= 0) return 0;
  const std::int32_t n = device_->Read(buffer, count);
  return n < 0 ? 0 : n;
}

bool TAfComPortCore::WriteData(const void* buffer, std::int32_t count) {
  if (!opened_) return false;
  return writeThread_->QueueWrite(buffer, count);
}

std::int32_t TAfComPortCore::OutBufFree() {
  if (!opened_) return 0;
  std::lock_guard guard(WriteLock);
  return writeThread_->BufFree();
}

bool TAfComPortCore::PurgeRx() {
  if (!opened_) return false;
  std::lock_guard guard(StatusLock);
  return device_->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TAfComPortCore::PurgeTx() {
  if (!opened_) return false;
  return writeThread_->PurgeTx();
}

void TAfComPortCore::SetDCB(const DCB& dcb) {
  dcb_ = dcb;
  if (opened_) ApplyDCB();
}

void TAfComPortCore::ApplyDCB() {
  if (!device_->SetCommState(dcb_)) {
    device_->GetCommState(dcb_);
    Fail("Error setting parameters from DCB");
  }
}

bool TAfComPortCore::EscapeComm(std::uint32_t function) {
  if (!opened_) return false;
  return device_->EscapeCommFunction(function);
}

void TAfComPortCore::SetEventThreadPriority(TThreadPriority priority) {
  if (priority == eventPriority_) return;
  eventPriority_ = priority;
  if (opened_ && eventThread_) eventThread_->SetPriority(priority);
}

void TAfComPortCore::SetWriteThreadPriority(TThreadPriority priority) {
  if (priority == writePriority_) return;
  writePriority_ = priority;
  if (opened_ && writeThread_) writeThread_->SetPriority(priority);
}
