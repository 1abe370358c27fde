#include "serial/AfByteTrace.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// One trace file, shared by every port that the process opens while it is on.
class TraceFile {
 public:
  static std::shared_ptr<TraceFile> Open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
      std::fprintf(stderr, "LK24_TRACE: %s: %s\n", path.c_str(), std::strerror(errno));
      return nullptr;
    }
    // One line reaches the file at a time, so a crash loses none that came before.
    std::setvbuf(file, nullptr, _IOLBF, 256);
    std::fprintf(file, "# direction, microseconds since start, byte\n");
    std::fprintf(file, "# in: to the device, out: from the device\n");
    return std::shared_ptr<TraceFile>(new TraceFile(file, path));
  }

  ~TraceFile() {
    if (std::ferror(file_) != 0 || std::fclose(file_) != 0) {
      std::fprintf(stderr, "LK24_TRACE: %s: the trace could not be written completely\n", path_.c_str());
    }
  }

  const std::string& Path() const { return path_; }

  void Comment(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "# %s\n", text.c_str());
  }

  // Any thread: the write thread sends while the main thread receives.
  void Bytes(const char* direction, const void* data, std::int32_t count) {
    if (count <= 0) return;
    const long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - origin_).count();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::lock_guard lock(mutex_);
    for (std::int32_t i = 0; i < count; ++i) std::fprintf(file_, "%s %12lld %02X\n", direction, micros, bytes[i]);
  }

 private:
  TraceFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)), origin_(Clock::now()) {}

  std::FILE* file_;
  const std::string path_;
  const Clock::time_point origin_;
  std::mutex mutex_;
};

// Main thread only, like the opens that use them.
std::optional<std::string> pathOverride;
std::shared_ptr<TraceFile> keptTrace;  // keeps the file, and its time origin, between opens
std::string refusedPath;               // said once on stderr, not at every open

std::string TracePath() {
  if (pathOverride) return *pathOverride;
  const char* path = std::getenv("LK24_TRACE");
  return path != nullptr ? path : "";
}

std::shared_ptr<TraceFile> TraceFor(const std::string& path) {
  if (keptTrace && keptTrace->Path() == path) return keptTrace;
  keptTrace.reset();
  if (path == refusedPath) return nullptr;
  keptTrace = TraceFile::Open(path);
  if (!keptTrace) refusedPath = path;
  return keptTrace;
}

class TracedDevice final : public TAfSerialDevice {
 public:
  TracedDevice(std::unique_ptr<TAfSerialDevice> device, std::shared_ptr<TraceFile> trace, std::string port)
      : device_(std::move(device)), trace_(std::move(trace)), port_(std::move(port)) {
    trace_->Comment(port_ + " opened");
  }
  ~TracedDevice() override {
    device_.reset();
    trace_->Comment(port_ + " closed");
  }

  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override { return device_->SetCommTimeouts(timeouts); }
  bool SetupComm(std::int32_t in, std::int32_t out) override { return device_->SetupComm(in, out); }
  bool SetCommMask(std::uint32_t mask) override { return device_->SetCommMask(mask); }
  bool SetCommState(const DCB& dcb) override { return device_->SetCommState(dcb); }
  bool GetCommState(DCB& dcb) override { return device_->GetCommState(dcb); }
  bool BeginEventWaits() override { return device_->BeginEventWaits(); }
  TAfWaitResult WaitCommEvent(std::span<TAfEvent* const> events, int timeoutMs) override {
    return device_->WaitCommEvent(events, timeoutMs);
  }
  bool ClearCommError(std::uint32_t& errors, COMSTAT& status) override {
    return device_->ClearCommError(errors, status);
  }
  bool PurgeComm(std::uint32_t flags) override { return device_->PurgeComm(flags); }
  bool EscapeCommFunction(std::uint32_t function) override { return device_->EscapeCommFunction(function); }

  std::int32_t Read(void* buffer, std::int32_t count) override {
    const std::int32_t got = device_->Read(buffer, count);
    trace_->Bytes("out", buffer, got);
    return got;
  }
  TAfWriteResult Write(const void* buffer, std::int32_t count, std::span<TAfEvent* const> events) override {
    const TAfWriteResult result = device_->Write(buffer, count, events);
    trace_->Bytes("in ", buffer, result.written);
    return result;
  }

 private:
  std::unique_ptr<TAfSerialDevice> device_;
  std::shared_ptr<TraceFile> trace_;
  const std::string port_;
};

}  // namespace

std::unique_ptr<TAfSerialDevice> AfTraceDevice(std::unique_ptr<TAfSerialDevice> device, std::int32_t number,
                                               const std::string& devicePath) {
  const std::string path = TracePath();
  if (path.empty()) {
    keptTrace.reset();
    return device;
  }
  std::shared_ptr<TraceFile> trace = TraceFor(path);
  if (!trace) return device;
  std::string port = "COM" + std::to_string(number);
  if (!devicePath.empty()) port += " " + devicePath;
  return std::make_unique<TracedDevice>(std::move(device), std::move(trace), std::move(port));
}

void AfSetByteTracePath(std::optional<std::string> path) {
  pathOverride = std::move(path);
  keptTrace.reset();
  refusedPath.clear();
}
