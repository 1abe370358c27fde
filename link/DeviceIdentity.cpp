#include "link/DeviceIdentity.h"

namespace lk24 {

int firmwareValue(const Table& image) {
  return image[addr::kFirmwareMajor] * 256 + image[addr::kFirmwareMinor];
}

bool firmwareSupported(const Table& image) {
  const int value = firmwareValue(image);
  return value >= kFirstSupportedFirmware && value <= kLastSupportedFirmware;
}

DeviceKind deviceKind(const Table& image) {
  switch (image[addr::kDeviceType]) {
    case devicetype::kTransmitter:
      return DeviceKind::Transmitter;
    case devicetype::kReceiver:
      return DeviceKind::Receiver;
    default:
      return DeviceKind::Unknown;
  }
}

SettingsHalves settingsHalvesOf(const Table& image) {
  switch (deviceKind(image)) {
    case DeviceKind::Transmitter:
      return SettingsHalves::Transmitter;
    case DeviceKind::Receiver:
      return SettingsHalves::Receiver;
    case DeviceKind::Unknown:
      break;
  }
  return SettingsHalves::Both;
}

SettingsHalves settingsHalvesOf(const Table& a, const Table& b) {
  const SettingsHalves halves = settingsHalvesOf(a);
  return halves == settingsHalvesOf(b) ? halves : SettingsHalves::Both;
}

}  // namespace lk24
