#pragma once
// The tool's model of a device's 256-byte EEPROM and of the template tables
// that protect parts of it. One instance lives in the main window for the
// whole run; everything touches it from the main thread only.

#include <array>
#include <cstdint>

namespace lk24 {

constexpr int kImageSize = 256;
using Table = std::array<std::uint8_t, kImageSize>;

// EEPROM addresses the model's own rules treat specially.
namespace addr {
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 2;
constexpr int kWriteProtect = 3;           // bit 0 set: the device refuses to be overwritten
constexpr int kReceiverSerialHigh = 176;   // 176, 177: receiver serial number
constexpr int kReceiverSerialLow = 177;
constexpr int kTransmitterSerialHigh = 234;  // 234, 235: transmitter serial number
constexpr int kTransmitterSerialLow = 235;
constexpr int kLastChecksummed = 238;      // bytes 0..238 are covered by the checksum
constexpr int kChecksum = 239;
constexpr int kLastWritten = 247;          // a program run writes 0..247
constexpr int kDeviceType = 253;
constexpr int kFirmwareMajor = 254;
constexpr int kFirmwareMinor = 255;
}  // namespace addr

struct ConfigImage {
  Table DeviceImage{};   // what the window shows and edits
  Table ReadBuffer{};    // bytes arriving from the device during a read pass
  Table WriteImage{};    // the image being programmed and verified
  Table AndMask{};       // bit 1: the user's bit; bit 0: protected
  Table OrMask{};        // for protected bits: 1 takes the factory bit, 0 forces 0
  Table FactoryImage{};  // the factory values protected bits take

  // Start-up preset before the template is read: DeviceImage all 0x01,
  // the three template tables all 0x00.
  void presetForStartup();

  // The merge rule: user bits stay, protected bits come from the factory
  // image or are forced to 0. Idempotent; cannot fail.
  void FilterUserData();
};

// 8-bit EEPROM checksum: the sum of bytes 0..238, low 8 bits. Belongs at 239.
std::uint8_t calculatechecksum(const Table& image);

}  // namespace lk24
