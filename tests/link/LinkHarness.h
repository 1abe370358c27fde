#pragma once
// A DeviceLink wired to a recording view, a fake line, a scripted device and
// manual timers.

#include "FakeSerialLine.h"
#include "MemoryBackupStore.h"
#include "RecordingView.h"
#include "ScriptedDevice.h"
#include "link/DeviceLink.h"
#include "link/ManualLinkTimer.h"

#include <memory>

namespace lk24::test {

// A plausible device image: receiver, firmware 1.05, serial number 0x1234,
// correct checksum.
inline Table deviceImage(int type = 20) {
  Table image{};
  for (int a = 0; a < kImageSize; ++a) image[a] = static_cast<std::uint8_t>((a * 7 + 3) & 0xFF);
  image[addr::kWriteProtect] = 0x00;
  image[addr::kReceiverSerialHigh] = 0x12;
  image[addr::kReceiverSerialLow] = 0x34;
  image[addr::kTransmitterSerialHigh] = 0x56;
  image[addr::kTransmitterSerialLow] = 0x78;
  image[addr::kDeviceType] = static_cast<std::uint8_t>(type);
  image[addr::kFirmwareMajor] = 1;
  image[addr::kFirmwareMinor] = 5;
  image[addr::kChecksum] = calculatechecksum(image);
  return image;
}

struct LinkHarness {
  ConfigImage image;
  RecordingView view;
  FakeSerialLine line;
  ScriptedDevice device{line};
  ManualLinkTimer* rsTimeout = nullptr;
  ManualLinkTimer* closeTimer = nullptr;
  MemoryBackupStore* backups = nullptr;  // owned by the link
  std::unique_ptr<DeviceLink> link;

  LinkHarness() {
    image.AndMask.fill(0xFF);  // every bit is the user's unless a test says otherwise
    device.eeprom = deviceImage();
    auto response = std::make_unique<ManualLinkTimer>();
    auto close = std::make_unique<ManualLinkTimer>();
    rsTimeout = response.get();
    closeTimer = close.get();
    link = std::make_unique<DeviceLink>(image, view, line, std::move(response), std::move(close));
    auto store = std::make_unique<MemoryBackupStore>();
    backups = store.get();
    link->setBackupStore(std::move(store));
    // Time passes when nothing is left to say: a link listening to the quiet line hears nothing.
    device.whenQuiet = [this] { return link->listeningToLine() && rsTimeout->fire(); };
  }

  void read() {
    link->read();
    device.pump();
  }
  void program() {
    link->program();
    device.pump();
  }
};

}  // namespace lk24::test
