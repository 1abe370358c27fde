#pragma once
// The calendar time of a moment in the computer's own time zone, which is
// what names a backup file. The one place that knows each system's call.

#include <chrono>
#include <ctime>

namespace lk24 {

std::tm localCalendarTime(std::chrono::system_clock::time_point moment);

}  // namespace lk24
