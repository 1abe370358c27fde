#include "editor/DeviceIdentity.h"

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

int serialNumberOf(const Table& image) {
  const int high = deviceKind(image) == DeviceKind::Receiver ? addr::kReceiverSerialHigh : addr::kTransmitterSerialHigh;
  return image[high] * 256 + image[high + 1];
}

}  // namespace lk24
