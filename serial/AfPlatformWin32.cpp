// The serial device over the kernel32 communications API, overlapped: the
// event thread's WaitCommEvent, the write thread's WriteFile and the main
// thread's ReadFile each have an OVERLAPPED of their own, so all three run
// at once on the one handle.
#include "serial/AfEvent.h"
#include "serial/AfPlatform.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t modemEventMask = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

// The engine waits on two events of its own beside the line.
constexpr std::size_t maxWaitEvents = 6;

// Errors after which the handle no longer reaches a device (adapter pulled).
bool DeviceGone(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
         error == ERROR_DEVICE_REMOVED || error == ERROR_GEN_FAILURE;
}

// An OVERLAPPED with its own manual-reset event, as overlapped I/O wants it.
class Overlapped {
 public:
  Overlapped() { ov_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() {
    if (ov_.hEvent != nullptr) CloseHandle(ov_.hEvent);
  }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;

  bool valid() const { return ov_.hEvent != nullptr; }
  OVERLAPPED* begin() {
    HANDLE event = ov_.hEvent;
    ov_ = OVERLAPPED{};
    ov_.hEvent = event;
    ResetEvent(event);
    return &ov_;
  }
  OVERLAPPED* get() { return &ov_; }
  HANDLE event() const { return ov_.hEvent; }

 private:
  OVERLAPPED ov_{};
};

class Win32SerialDevice final : public TAfSerialDevice {
 public:
  explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {
    // Every Windows serial driver reports the modem lines. One that cannot
    // (Wine on a pseudo-terminal) never ends a WaitCommEvent either: there
    // the receive queue is watched instead.
    DWORD modemStatus = 0;
    pollForData_ = !GetCommModemStatus(handle_, &modemStatus);
  }

  ~Win32SerialDevice() override {
    // The threads are gone; a wait they left in flight is ended here, before
    // its OVERLAPPED goes away.
    if (waitPending_) {
      CancelIoEx(handle_, wait_.get());
      DWORD ignored = 0;
      GetOverlappedResult(handle_, wait_.get(), &ignored, TRUE);
    }
    CloseHandle(handle_);
  }

  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
    COMMTIMEOUTS copy = timeouts;
    return ::SetCommTimeouts(handle_, &copy) != FALSE;
  }

  bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) override {
    return ::SetupComm(handle_, DWORD(inQueue), DWORD(outQueue)) != FALSE;
  }

  // Windows itself ends a wait in progress with mask 0 here.
  bool SetCommMask(std::uint32_t mask) override {
    ++maskChanges_;
    if (noModemLines_) mask &= ~modemEventMask;
    return ::SetCommMask(handle_, mask) != FALSE;
  }

  bool SetCommState(const DCB& dcb) override {
    DCB copy = dcb;
    copy.DCBlength = sizeof copy;
    return ::SetCommState(handle_, &copy) != FALSE;
  }

  bool GetCommState(DCB& dcb) override {
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
    return ::GetCommState(handle_, &dcb) != FALSE;
  }

  bool BeginEventWaits() override { return wait_.valid() && read_.valid() && write_.valid(); }

  TAfWaitResult WaitCommEvent(std::span<TAfEvent* const> events, int timeoutMs) override {
    if (events.size() > maxWaitEvents || gone_) return Failed();
    if (pollForData_) return WaitByPolling(events, timeoutMs);
    // One wait stays in flight across calls: a time-out leaves it running,
    // so no line event between two calls is lost.
    if (!waitPending_) {
      seenMask_ = 0;
      if (::WaitCommEvent(handle_, &seenMask_, wait_.begin())) return LineEvent(seenMask_);
      DWORD error = GetLastError();
      if (error == ERROR_NOT_SUPPORTED && !noModemLines_) {
        // A port without modem lines (Wine on a pseudo-terminal) cannot
        // wait for them; it is watched for the rest of the mask instead.
        noModemLines_ = true;
        DWORD mask = 0;
        if (!GetCommMask(handle_, &mask) || !SetCommMask(mask)) return Failed();
        if (::WaitCommEvent(handle_, &seenMask_, wait_.begin())) return LineEvent(seenMask_);
        error = GetLastError();
      }
      if (error != ERROR_IO_PENDING) return Broken(error);
      waitPending_ = true;
    }
    // The stop request first, then the line, then the other events.
    HANDLE handles[maxWaitEvents + 1];
    DWORD count = 0;
    if (!events.empty()) handles[count++] = events[0]->handle();
    const DWORD lineIndex = count;
    handles[count++] = wait_.event();
    for (std::size_t i = 1; i < events.size(); ++i) handles[count++] = events[i]->handle();

    const DWORD result = WaitForMultipleObjects(count, handles, FALSE,
                                                timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    if (result == WAIT_TIMEOUT) return TAfWaitResult{TAfWaitResult::TimedOut, 0, -1};
    if (result >= WAIT_OBJECT_0 + count) return Failed();
    const DWORD index = result - WAIT_OBJECT_0;
    if (index != lineIndex) {
      const int woken = index < lineIndex ? int(index) : int(index) - 1;
      return TAfWaitResult{TAfWaitResult::Woken, 0, woken};
    }
    DWORD ignored = 0;
    waitPending_ = false;
    if (!GetOverlappedResult(handle_, wait_.get(), &ignored, FALSE)) return Broken(GetLastError());
    return LineEvent(seenMask_);
  }

  bool ClearCommError(std::uint32_t& errors, COMSTAT& status) override {
    DWORD winErrors = 0;
    if (!::ClearCommError(handle_, &winErrors, &status)) return false;
    errors = winErrors | pendingErrors_ | polledErrors_.exchange(0);
    pendingErrors_ = 0;
    return true;
  }

  bool PurgeComm(std::uint32_t flags) override { return ::PurgeComm(handle_, flags) != FALSE; }

  bool EscapeCommFunction(std::uint32_t function) override {
    return ::EscapeCommFunction(handle_, function) != FALSE;
  }

  // Asks for no more than is waiting, so the read never waits, whatever a
  // driver makes of the engine's "return at once" time-outs (Wine waits).
  std::int32_t Read(void* buffer, std::int32_t count) override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle_, &errors, &status)) return -1;
    pendingErrors_ |= errors;
    if (count > std::int32_t(status.cbInQue)) count = std::int32_t(status.cbInQue);
    if (count <= 0) return 0;
    ++reads_;
    DWORD done = 0;
    if (ReadFile(handle_, buffer, DWORD(count), &done, read_.begin())) return std::int32_t(done);
    if (GetLastError() != ERROR_IO_PENDING) return -1;
    if (!GetOverlappedResult(handle_, read_.get(), &done, TRUE)) return -1;
    return std::int32_t(done);
  }

  TAfWriteResult Write(const void* buffer, std::int32_t count,
                       std::span<TAfEvent* const> events) override {
    TAfWriteResult result;
    if (count <= 0) {
      result.ok = true;
      return result;
    }
    if (events.size() > maxWaitEvents) return result;
    DWORD done = 0;
    if (WriteFile(handle_, buffer, DWORD(count), &done, write_.begin())) {
      result.written = std::int32_t(done);
      result.ok = done == DWORD(count);
      return result;
    }
    if (GetLastError() != ERROR_IO_PENDING) return result;
    // The write's completion first: bytes that went out count even when an
    // event came at the same moment; the event stays set for its waiter.
    HANDLE handles[maxWaitEvents + 1];
    DWORD handleCount = 0;
    handles[handleCount++] = write_.event();
    for (TAfEvent* e : events) handles[handleCount++] = e->handle();
    const DWORD woke = WaitForMultipleObjects(handleCount, handles, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0) {
      CancelIoEx(handle_, write_.get());
      if (woke > WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + handleCount) {
        result.woken = int(woke - WAIT_OBJECT_0) - 1;
      }
    }
    // After a cancel this still says how many bytes reached the driver.
    const bool finished = GetOverlappedResult(handle_, write_.get(), &done, TRUE) != FALSE;
    result.written = std::int32_t(done);
    result.ok = finished && result.woken < 0 && done == DWORD(count);
    return result;
  }

 private:
  // EV_RXCHAR for a driver whose WaitCommEvent never ends: the receive queue
  // is looked at in short steps, and growth in it is a character received.
  // A change of the mask ends the wait with mask 0, as Windows does.
  TAfWaitResult WaitByPolling(std::span<TAfEvent* const> events, int timeoutMs) {
    constexpr DWORD stepMs = 5;
    HANDLE handles[maxWaitEvents];
    DWORD count = 0;
    for (TAfEvent* e : events) handles[count++] = e->handle();
    const ULONGLONG deadline = timeoutMs < 0 ? ~0ULL : GetTickCount64() + ULONGLONG(timeoutMs);
    const unsigned maskChangesAtStart = maskChanges_;
    for (;;) {
      if (maskChanges_ != maskChangesAtStart) return LineEvent(0);
      DWORD mask = 0;
      if (!GetCommMask(handle_, &mask)) return Broken(GetLastError());
      if (mask & EV_RXCHAR) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(handle_, &errors, &status)) return Broken(GetLastError());
        polledErrors_ |= errors;
        // Bytes waiting count as new when the queue grew or was read from
        // since the last look.
        const DWORD before = polledQueue_;
        const unsigned reads = reads_;
        const bool readSince = reads != polledReads_;
        polledQueue_ = status.cbInQue;
        polledReads_ = reads;
        if (status.cbInQue > 0 && (status.cbInQue > before || readSince)) return LineEvent(EV_RXCHAR);
      }
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return TAfWaitResult{TAfWaitResult::TimedOut, 0, -1};
      const DWORD step = DWORD(deadline - now < stepMs ? deadline - now : stepMs);
      if (count == 0) {
        Sleep(step);
        continue;
      }
      const DWORD result = WaitForMultipleObjects(count, handles, FALSE, step);
      if (result == WAIT_TIMEOUT) continue;
      if (result >= WAIT_OBJECT_0 + count) return Failed();
      return TAfWaitResult{TAfWaitResult::Woken, 0, int(result - WAIT_OBJECT_0)};
    }
  }

  static TAfWaitResult Failed() { return TAfWaitResult{TAfWaitResult::Failed, 0, -1}; }
  static TAfWaitResult LineEvent(DWORD mask) {
    return TAfWaitResult{TAfWaitResult::LineEvent, std::uint32_t(mask), -1};
  }
  // A device that went away is reported once; later waits fail.
  TAfWaitResult Broken(DWORD error) {
    if (!DeviceGone(error)) return Failed();
    gone_ = true;
    return TAfWaitResult{TAfWaitResult::HungUp, 0, -1};
  }

  HANDLE handle_;
  Overlapped wait_;   // event thread
  Overlapped read_;   // main thread, under the engine's StatusLock
  Overlapped write_;  // write thread
  DWORD seenMask_ = 0;        // event thread: the pending wait's result
  bool waitPending_ = false;  // event thread
  bool gone_ = false;         // event thread
  std::atomic<bool> noModemLines_{false};
  bool pollForData_ = false;                // set at open
  DWORD polledQueue_ = 0;                   // event thread: the queue at the last look
  std::atomic<unsigned> maskChanges_{0};
  std::atomic<DWORD> polledErrors_{0};      // line errors the looks took from the driver
  unsigned polledReads_ = 0;                // event thread: reads_ at the last look
  std::atomic<unsigned> reads_{0};          // reads from the receive queue so far
  // Line errors a read took from the driver, for the next ClearCommError;
  // both run under the engine's StatusLock.
  DWORD pendingErrors_ = 0;
};

TAfOpenResult Failure(TAfOpenResult::Error error, TAfPortState state, const std::string& path,
                      DWORD systemError) {
  TAfOpenResult result;
  result.error = error;
  result.systemError = int(systemError);
  result.access.state = state;
  result.access.devicePath = path;
  result.access.systemError = int(systemError);
  return result;
}

// Why CreateFile refused, in the terms of the port check. Windows opens a
// port for one program only (share mode 0); another one holding it is what
// ERROR_ACCESS_DENIED means here.
TAfOpenResult OpenFailure(DWORD error, const std::string& path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Failure(TAfOpenResult::NotFound, TAfPortState::Missing, path, error);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return Failure(TAfOpenResult::Refused, TAfPortState::Held, path, error);
    default:
      return Failure(TAfOpenResult::Refused, TAfPortState::Failed, path, error);
  }
}

}  // namespace

TAfOpenResult AfOpenPlatformDevice(int number) {
  // The device namespace form reaches COM10 and above as well.
  const std::string path = "\\\\.\\COM" + std::to_string(number);
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailure(GetLastError(), path);
  TAfOpenResult result;
  result.access.devicePath = path;
  result.device = std::make_unique<Win32SerialDevice>(handle);
  return result;
}
