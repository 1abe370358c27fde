// The images the simulator starts from must read as a healthy device to the
// tool, and must survive the tool's refresh unchanged: otherwise a program
// run against a fresh simulator would verify against corrected bytes.

#include "model/ConfigImage.h"
#include "tools/devsim/DeviceSimulator.h"

#include <gtest/gtest.h>

namespace lk24::devsim {
namespace {

int word(const std::array<std::uint8_t, 256>& image, int address) { return image[address] * 256 + image[address + 1]; }

TEST(DefaultImage, IdentifiesAsAHealthyDeviceOfItsType) {
  struct Case {
    DeviceType type;
    int typeCode;
    int ownSerialAt;
    int otherSerialAt;
  };
  for (const Case c : {Case{DeviceType::Receiver, 20, addr::kReceiverSerialHigh, addr::kTransmitterSerialHigh},
                       Case{DeviceType::Transmitter, 10, addr::kTransmitterSerialHigh, addr::kReceiverSerialHigh}}) {
    SCOPED_TRACE(c.typeCode);
    const auto image = defaultImage(c.type);
    EXPECT_EQ(image[addr::kDeviceType], c.typeCode);
    EXPECT_EQ(image[addr::kFirmwareMajor], 1);
    EXPECT_EQ(image[addr::kFirmwareMinor], 5);
    EXPECT_EQ(image[addr::kWriteProtect] & 0x01, 0) << "a fresh device must accept programming";
    EXPECT_EQ(image[addr::kChecksum], calculatechecksum(image));
    EXPECT_NE(word(image, c.ownSerialAt), 0);
    EXPECT_EQ(word(image, c.otherSerialAt), 0);
  }
  EXPECT_NE(defaultImage(DeviceType::Receiver), defaultImage(DeviceType::Transmitter));
}

TEST(DefaultImage, ATransmitterAndAReceiverFromItWorkTogether) {
  for (const DeviceType type : {DeviceType::Receiver, DeviceType::Transmitter}) {
    const auto image = defaultImage(type);
    EXPECT_EQ(word(image, 22), word(image, 86)) << "the receiver listens to the transmitter's ID";
    EXPECT_GT(word(image, 24), word(image, 88)) << "alarm time longer than the transmit interval";
    // The receiver's windows must accept what the transmitter sends.
    EXPECT_LE(word(image, 110), word(image, 193));
    EXPECT_GE(word(image, 112), word(image, 193));
    EXPECT_LE(word(image, 118), word(image, 181));
    EXPECT_GE(word(image, 120), word(image, 181));
  }
}

// The tool's refresh corrects out-of-range bytes in the image; the factory
// images must already hold what the corrections would produce.
TEST(DefaultImage, NeedsNoCorrectionByTheRefresh) {
  for (const DeviceType type : {DeviceType::Receiver, DeviceType::Transmitter}) {
    const auto image = defaultImage(type);
    EXPECT_GE(image[30], 1);
    EXPECT_LE(image[30], 10);
    EXPECT_GE(image[21], 1);
    EXPECT_LE(image[90], 10);
    EXPECT_LE(image[180], 64);
    if (image[233] & 0x01) {
      EXPECT_GE(word(image, 88), 5);
    }
    if (image[233] & 0x04) {
      const int n = image[addr::kTransmitterSerialLow] % 16;
      EXPECT_EQ(word(image, 185), 25 + 4 * n);
      EXPECT_EQ(word(image, 210), 200 + 8 * n);
    }
    EXPECT_EQ(image[1], 1);
    EXPECT_EQ(image[2], 0);
  }
}

}  // namespace
}  // namespace lk24::devsim
