#include "tools/devsim/DeviceSimulator.h"

#include "model/ConfigImage.h"

#include <initializer_list>

namespace lk24::devsim {

namespace {

struct Setting {
  int address;
  int value;  // a word when wide, else a byte
  bool wide;
};

constexpr Setting byteAt(int address, int value) { return {address, value, false}; }
constexpr Setting wordAt(int address, int value) { return {address, value, true}; }

// Each device keeps its own serial number; the other half's stays 0.
constexpr int kReceiverSerial = 4711;
constexpr int kTransmitterSerial = 2342;
constexpr int kReceiverTypeCode = 20;
constexpr int kTransmitterTypeCode = 10;

// Settings both device types leave the factory with. The receiver listens
// to the transmitter's ID, and the receiver's preamble and bit windows
// bracket what the transmitter sends, so a pair from these images works.
constexpr Setting kFactorySettings[] = {
    // version stamp 1.00; byte 3 bit 0 clear: overwriting allowed
    byteAt(1, 1), byteAt(2, 0), byteAt(3, 0),
    // receiver, basic and advanced
    byteAt(20, 50),     // switch-on test 0.5 s
    byteAt(21, 100),    // alarm tone period: about 1250 Hz
    wordAt(22, 1234),   // listens to transmitter ID 1234
    wordAt(24, 120),    // alarm after 120 s without a telegram
    byteAt(26, 0x7A),   // distance alarm with tone, far range, fixed threshold, emergency alarm with tone
    byteAt(27, 0x07),   // tone and relay tested at switch-on, reset tone; relay energised on alarm
    byteAt(30, 5),      // fixed distance threshold
    wordAt(32, 2000),   // hold the button 2 s to reset an alarm
    wordAt(36, 500), wordAt(38, 500),    // light on distance alarm
    wordAt(40, 200), wordAt(42, 200),    // light on emergency alarm
    wordAt(44, 50), wordAt(46, 4950),    // light while ready
    wordAt(48, 300), wordAt(50, 700),    // tone on distance alarm
    wordAt(52, 100), wordAt(54, 100),    // tone on emergency alarm
    // transmitter, basic
    wordAt(86, 1234),   // transmitter ID
    wordAt(88, 60),     // presence telegram every 60 s
    byteAt(90, 5),      // LED brightness
    byteAt(91, 0x03),   // emergency button and interval transmission on
    // receiver radio timing
    wordAt(110, 250), wordAt(112, 450),  // preamble pulse window, us
    wordAt(114, 800), wordAt(116, 1200), // pause after the preamble, us
    wordAt(118, 200), wordAt(120, 300),  // bit segment window, us
    byteAt(122, 32),    // bits per string
    // far-range and near-range signal-strength tables
    byteAt(150, 12), byteAt(151, 20), byteAt(152, 28), byteAt(153, 36), byteAt(154, 44),
    byteAt(155, 52), byteAt(156, 60), byteAt(157, 68), byteAt(158, 76), byteAt(159, 84),
    byteAt(160, 60), byteAt(161, 70), byteAt(162, 80), byteAt(163, 90), byteAt(164, 100),
    byteAt(165, 110), byteAt(166, 120), byteAt(167, 130), byteAt(168, 140), byteAt(169, 150),
    byteAt(170, 0),     // receiver on 433,92 MHz
    // transmitter radio timing
    byteAt(180, 32),    // bits per string
    wordAt(181, 250),   // bit segment, us
    wordAt(183, 5000),  // pause between strings, us
    byteAt(187, 3),     // strings per burst
    wordAt(188, 100), wordAt(190, 100),  // red and green LED, ms
    byteAt(192, 16),    // preamble oscillations
    wordAt(193, 350), wordAt(195, 1000), // preamble pulse and pause, us
    byteAt(197, 140),   // low-battery level
    wordAt(198, 2000),  // carrier after the string for the RSSI measurement, us
    byteAt(200, 76), byteAt(201, 75), byteAt(202, 50), byteAt(203, 52),  // preset data
    byteAt(204, 0), byteAt(205, 0), byteAt(206, 0), byteAt(207, 0),
    wordAt(208, 2500),  // emergency pause, us
    byteAt(212, 6),     // emergency strings per burst
    byteAt(233, 0x04),  // 433,92 MHz, all data sent, automatic pause calculation
    // firmware 1.05
    byteAt(addr::kFirmwareMajor, 1), byteAt(addr::kFirmwareMinor, 5),
};

void put(std::array<std::uint8_t, 256>& image, const Setting& setting) {
  if (setting.wide) {
    image[setting.address] = static_cast<std::uint8_t>(setting.value >> 8);
    image[setting.address + 1] = static_cast<std::uint8_t>(setting.value & 0xFF);
  } else {
    image[setting.address] = static_cast<std::uint8_t>(setting.value);
  }
}

}  // namespace

std::array<std::uint8_t, 256> defaultImage(DeviceType type) {
  std::array<std::uint8_t, 256> image{};
  for (const Setting& setting : kFactorySettings) put(image, setting);
  const bool receiver = type == DeviceType::Receiver;
  put(image, wordAt(addr::kReceiverSerialHigh, receiver ? kReceiverSerial : 0));
  put(image, wordAt(addr::kTransmitterSerialHigh, receiver ? 0 : kTransmitterSerial));
  put(image, byteAt(addr::kDeviceType, receiver ? kReceiverTypeCode : kTransmitterTypeCode));
  // The pauses as the automatic calculation derives them from the serial
  // number, so the tool's refresh finds nothing to correct.
  const int n = image[addr::kTransmitterSerialLow] % 16;
  put(image, wordAt(185, 25 + 4 * n));
  put(image, wordAt(210, 200 + 8 * n));
  image[addr::kChecksum] = calculatechecksum(image);
  return image;
}

}  // namespace lk24::devsim
