#pragma once
// The byte trace: one line per byte crossing the line, with its direction,
// the microseconds since the simulator started and the byte in hex, and a
// summary when the simulator stops. Used by the serving thread only, and by
// stop() after that thread has ended.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace lk24::devsim {

class TraceLog {
 public:
  using Clock = std::chrono::steady_clock;

  TraceLog() = default;
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Empty on success, else a one-line reason.
  std::string open(const std::string& path, Clock::time_point origin);
  bool isOpen() const { return file_ != nullptr; }

  void byteIn(std::uint8_t byte, Clock::time_point at) { line("in ", byte, at); }
  void byteOut(std::uint8_t byte, Clock::time_point at) { line("out", byte, at); }

  struct Summary {
    long commands = 0;
    long bytesIn = 0;
    long bytesOut = 0;
    std::optional<Clock::time_point> firstCommand;
    std::optional<Clock::time_point> lastAnswer;
  };
  // Writes the summary and closes the file. Empty on success.
  std::string close(const Summary& summary);

 private:
  void line(const char* direction, std::uint8_t byte, Clock::time_point at);
  long long micros(Clock::time_point at) const;

  std::FILE* file_ = nullptr;
  std::string path_;
  Clock::time_point origin_;
};

}  // namespace lk24::devsim
