#include "tools/devsim/TraceLog.h"

namespace lk24::devsim {

TraceLog::~TraceLog() {
  if (file_) std::fclose(file_);
}

std::string TraceLog::open(const std::string& path, Clock::time_point origin) {
  file_ = std::fopen(path.c_str(), "w");
  if (!file_) return path + ": cannot be written";
  path_ = path;
  origin_ = origin;
  std::fprintf(file_, "# direction, microseconds since start, byte\n");
  return {};
}

long long TraceLog::micros(Clock::time_point at) const {
  return std::chrono::duration_cast<std::chrono::microseconds>(at - origin_).count();
}

void TraceLog::line(const char* direction, std::uint8_t byte, Clock::time_point at) {
  // Buffered by stdio: the serving thread must not wait on the disk per byte.
  if (file_) std::fprintf(file_, "%s %12lld %02X\n", direction, micros(at), byte);
}

std::string TraceLog::close(const Summary& summary) {
  if (!file_) return {};
  std::fprintf(file_, "# commands served: %ld\n", summary.commands);
  std::fprintf(file_, "# bytes in: %ld\n", summary.bytesIn);
  std::fprintf(file_, "# bytes out: %ld\n", summary.bytesOut);
  if (summary.firstCommand && summary.lastAnswer) {
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(*summary.lastAnswer -
                                                                            *summary.firstCommand);
    std::fprintf(file_, "# first command to last answer: %lld us\n", static_cast<long long>(span.count()));
  } else {
    std::fprintf(file_, "# first command to last answer: none answered\n");
  }
  const bool failed = std::ferror(file_) != 0;
  const bool closeFailed = std::fclose(file_) != 0;
  file_ = nullptr;
  if (failed || closeFailed) return path_ + ": trace could not be written completely";
  return {};
}

}  // namespace lk24::devsim
