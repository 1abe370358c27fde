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

}  // namespace lk24
