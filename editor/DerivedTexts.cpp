#include "editor/DerivedTexts.h"

#include "editor/NumberCodecs.h"

namespace lk24 {

std::string minutesText(std::int64_t seconds) {
  return "(ca. " + std::to_string(roundHalfEven(static_cast<double>(seconds) / 60.0)) + " min)";
}

std::string frequencyText(int period) {
  const int divisor = period < 1 ? 1 : period;
  return "(ca. " + std::to_string(roundHalfEven(125000.0 / divisor)) + " Hz)";
}

std::string batteryLifeText(int ledBrightness, int intervalSeconds, std::string_view capacityText) {
  const std::optional<std::int64_t> capacity = parseTypedNumber(capacityText);
  if (intervalSeconds == 0 || !capacity) return kNoEstimateText;

  // Mean current in µA: the LED flash at each transmission plus the radio,
  // spread over the interval, on top of the idle current.
  const double ledCurrent = ledBrightness * 5000.0 / 10.0;
  const auto meanCurrent = static_cast<double>(roundHalfEven((ledCurrent + 20000.0) * 0.2 / intervalSeconds + 70.0));
  const double charge = static_cast<double>(*capacity) * 1000.0;
  return setString(4, roundHalfEven(charge / meanCurrent / 24.0));
}

std::string firmwareText(int major, int minor) { return setString(2, major) + "." + fillString(2, '0', minor); }

std::string serialText(int serial) { return fillString(5, '0', serial); }

}  // namespace lk24
