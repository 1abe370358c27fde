#pragma once
// What an EEPROM image says about the device it came from: its type and
// whether its firmware is one this tool can program.

#include "editor/SettingsInWords.h"
#include "model/ConfigImage.h"

namespace lk24 {

namespace devicetype {
constexpr int kTransmitter = 10;
constexpr int kReceiver = 20;
}  // namespace devicetype

// Firmware value = major * 256 + minor; this tool speaks to 1.0 up to 1.19.
constexpr int kFirstSupportedFirmware = 256;
constexpr int kLastSupportedFirmware = 275;

int firmwareValue(const Table& image);
bool firmwareSupported(const Table& image);

enum class DeviceKind { Transmitter, Receiver, Unknown };
DeviceKind deviceKind(const Table& image);

// The window half whose settings describe the image's device; both halves
// for an unknown type, or for two images of different types.
SettingsHalves settingsHalvesOf(const Table& image);
SettingsHalves settingsHalvesOf(const Table& a, const Table& b);
// The serial number the device answers to: bytes 176 and 177 for a
// receiver, bytes 234 and 235 for a transmitter or a device of unknown type.
int serialNumberOf(const Table& image);

}  // namespace lk24
