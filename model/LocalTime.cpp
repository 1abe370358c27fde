#include "model/LocalTime.h"

namespace lk24 {

std::tm localCalendarTime(std::chrono::system_clock::time_point moment) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm calendar{};
#ifdef _WIN32
  localtime_s(&calendar, &seconds);
#else
  localtime_r(&seconds, &calendar);
#endif
  return calendar;
}

}  // namespace lk24
