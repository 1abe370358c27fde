#pragma once
// Texts the settings show beside or instead of a stored value.

#include <cstdint>
#include <string>
#include <string_view>

namespace lk24 {

// "(ca. N min)" for a time of seconds, N rounded half to even.
std::string minutesText(std::int64_t seconds);

// "(ca. N Hz)" for the receiver's alarm-tone period (125 kHz / period).
// The period is at least 1 after the image corrections; 0 is taken as 1.
std::string frequencyText(int period);

// Shown in the days field when no estimate can be made.
inline constexpr const char* kNoEstimateText = "----";

// Battery-life estimate in days, width 4: LED brightness 0..10, transmit
// interval in seconds, and the capacity field's current text in mAh.
// An interval of 0 or a capacity text that is no number gives "----".
std::string batteryLifeText(int ledBrightness, int intervalSeconds, std::string_view capacityText);

// Firmware as " 1.05": major blank-padded to two places, minor zero-filled.
std::string firmwareText(int major, int minor);

// A serial number as five zero-filled digits.
std::string serialText(int serial);

}  // namespace lk24
