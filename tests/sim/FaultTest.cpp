// Every fault the simulator can show, seen from the tool's end of the line.

#include "PtyClient.h"
#include "SimTestSupport.h"

#include "model/ConfigImage.h"

#include <gtest/gtest.h>

namespace lk24::devsim {
namespace {

using std::chrono::milliseconds;
using test::PtyClient;
using test::startedDevice;

using test::kQuiet;

std::array<std::uint8_t, 256> readAll(PtyClient& tool) {
  std::array<std::uint8_t, 256> image{};
  for (int address = 0; address < 256; ++address) {
    const auto byte = tool.read(address);
    EXPECT_TRUE(byte) << "address " << address;
    image[address] = byte.value_or(0);
  }
  return image;
}

TEST(SimFaults, ASilentDeviceNeitherAnswersNorStores) {
  auto device = startedDevice({.silent = true});
  const auto before = device->eeprom();
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  ASSERT_TRUE(tool.send({0xE6, 0xFD, 0xE9, 0x05, 0x42}));
  EXPECT_TRUE(tool.drain(kQuiet).empty());
  EXPECT_EQ(device->eeprom(), before);
  EXPECT_EQ(device->stats().commands, 0);
  EXPECT_EQ(device->stats().bytesIn, 5);
}

TEST(SimFaults, StopAfterAnswersThatManyCommandsThenNone) {
  auto device = startedDevice({.stopAfter = 3});
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.read(0xFD), 20);
  EXPECT_EQ(tool.write(0x05, 0x42), 0x42);
  EXPECT_EQ(tool.read(0xFF), 5);
  EXPECT_FALSE(tool.read(0xFE, kQuiet));
  EXPECT_FALSE(tool.write(0x06, 0x43, kQuiet));
  EXPECT_TRUE(tool.drain(kQuiet).empty());
  EXPECT_EQ(device->eeprom()[0x05], 0x42);
  EXPECT_NE(device->eeprom()[0x06], 0x43) << "a command that gets no answer is not carried out";
  EXPECT_EQ(device->stats().commands, 3);

  auto mute = startedDevice({.stopAfter = 0});
  PtyClient other(mute->slavePath());
  EXPECT_FALSE(other.read(0xFD, kQuiet));
}

TEST(SimFaults, WrongEchoInvertsOnlyTheWriteToThatAddress) {
  auto device = startedDevice({.wrongEchoAt = 7});
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.write(6, 0x5A), 0x5A);
  EXPECT_EQ(tool.write(7, 0x5A), 0xA5);
  EXPECT_EQ(tool.write(8, 0x5A), 0x5A);
  EXPECT_EQ(tool.read(7), 0x5A) << "the device stored what was sent; only the echo is wrong";
  EXPECT_EQ(tool.write(7, 0x00), 0xFF);
}

TEST(SimFaults, ImageFaultsShowInWhatTheToolReads) {
  struct Case {
    const char* name;
    Options options;
    void (*check)(const std::array<std::uint8_t, 256>&);
  };
  const Case cases[] = {
      {"bad checksum", {.badChecksum = true},
       [](const auto& image) { EXPECT_NE(image[addr::kChecksum], calculatechecksum(image)); }},
      {"firmware", {.firmware = std::pair{1, 20}},
       [](const auto& image) {
         EXPECT_EQ(image[addr::kFirmwareMajor], 1);
         EXPECT_EQ(image[addr::kFirmwareMinor], 20);
         EXPECT_EQ(image[addr::kChecksum], calculatechecksum(image));
       }},
      {"type code", {.typeCode = 30},
       [](const auto& image) {
         EXPECT_EQ(image[addr::kDeviceType], 30);
         EXPECT_EQ(image[addr::kChecksum], calculatechecksum(image));
       }},
      {"write protected", {.writeProtected = true},
       [](const auto& image) {
         EXPECT_EQ(image[addr::kWriteProtect] & 0x01, 1);
         EXPECT_EQ(image[addr::kChecksum], calculatechecksum(image)) << "a protected device is still consistent";
       }},
      {"all at once",
       {.type = DeviceType::Transmitter,
        .badChecksum = true,
        .firmware = std::pair{2, 0},
        .typeCode = 99,
        .writeProtected = true},
       [](const auto& image) {
         EXPECT_NE(image[addr::kChecksum], calculatechecksum(image));
         EXPECT_EQ(image[addr::kFirmwareMajor], 2);
         EXPECT_EQ(image[addr::kFirmwareMinor], 0);
         EXPECT_EQ(image[addr::kDeviceType], 99);
         EXPECT_EQ(image[addr::kWriteProtect] & 0x01, 1);
         EXPECT_EQ(image[addr::kTransmitterSerialHigh] * 256 + image[addr::kTransmitterSerialLow], 2342);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = startedDevice(c.options);
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.isOpen());
    const auto image = readAll(tool);
    c.check(image);
    EXPECT_EQ(image, device->eeprom());
  }
}

TEST(SimFaults, GarbageComesBeforeEveryAnswerAndFollowsTheSeed) {
  auto first = startedDevice({.garbage = 3, .seed = 7});
  auto second = startedDevice({.garbage = 3, .seed = 7});
  PtyClient a(first->slavePath());
  PtyClient b(second->slavePath());
  ASSERT_TRUE(a.isOpen() && b.isOpen());
  std::vector<std::uint8_t> fromA;
  std::vector<std::uint8_t> fromB;
  for (const int address : {0xFD, 0xFE}) {
    ASSERT_TRUE(a.send({0xE6, static_cast<std::uint8_t>(address)}));
    ASSERT_TRUE(b.send({0xE6, static_cast<std::uint8_t>(address)}));
    for (int i = 0; i < 4; ++i) {
      const auto byteA = a.receive();
      const auto byteB = b.receive();
      ASSERT_TRUE(byteA && byteB);
      fromA.push_back(*byteA);
      fromB.push_back(*byteB);
    }
  }
  EXPECT_TRUE(a.drain(kQuiet).empty());
  EXPECT_EQ(fromA[3], 20);
  EXPECT_EQ(fromA[7], 1);
  EXPECT_EQ(fromA, fromB);
  EXPECT_EQ(first->stats().bytesOut, 8);
  EXPECT_EQ(first->stats().commands, 2);
}

// The faults that a disturbed line shows the tool: one answer changed, one
// byte too many (at once or late), one answer lost, its own bytes back, a
// byte before any command.
TEST(SimFaults, LineFaultsShowOnlyWhereAsked) {
  using Bytes = std::vector<std::uint8_t>;
  {
    auto device = startedDevice({.noisyAt = 50});
    const std::uint8_t stored = device->eeprom()[50];
    PtyClient tool(device->slavePath());
    EXPECT_EQ(tool.write(50, stored), stored) << "a write's echo is not a read";
    EXPECT_EQ(tool.read(50), stored ^ 0xFF);
    EXPECT_EQ(tool.read(50), stored) << "once only";
  }
  {
    auto device = startedDevice({.extraAfter = 1});
    PtyClient tool(device->slavePath());
    EXPECT_EQ(tool.read(0xFD), 20);
    EXPECT_EQ(tool.read(0xFF), 5);
    EXPECT_EQ(tool.drain(kQuiet), Bytes{5});
  }
  {
    auto device = startedDevice({.lateExtraAfter = 0});
    PtyClient tool(device->slavePath());
    EXPECT_EQ(tool.read(0xFD), 20);
    EXPECT_TRUE(tool.drain(kQuiet).empty()) << "the copy waits for the next command";
    ASSERT_TRUE(tool.send({0xE6, 0xFF}));
    EXPECT_EQ(tool.drain(kQuiet), (Bytes{20, 5}));
  }
  {
    auto device = startedDevice({.dropAnswer = 1, .dropAt = 7});
    PtyClient tool(device->slavePath());
    EXPECT_EQ(tool.read(0xFD), 20);
    ASSERT_TRUE(tool.send({0xE6, 0xFD}));
    EXPECT_TRUE(tool.drain(kQuiet).empty()) << "answer 1 is lost";
    EXPECT_EQ(tool.read(0xFD), 20) << "once only";
    ASSERT_TRUE(tool.send({0xE6, 0x07}));
    EXPECT_TRUE(tool.drain(kQuiet).empty()) << "the first read of 7 is lost";
    EXPECT_EQ(tool.read(0x07), device->eeprom()[7]);
  }
  {
    auto device = startedDevice({.loopback = true});
    const auto before = device->eeprom();
    PtyClient tool(device->slavePath());
    const Bytes sent = {0x00, 0xE9, 0x05, 0x42, 0xE6, 0xFD};
    ASSERT_TRUE(tool.send(sent));
    EXPECT_EQ(tool.drain(kQuiet), sent);
    EXPECT_EQ(device->eeprom(), before) << "a plug stores nothing";
  }
  {
    auto device = startedDevice({.wakeAnswer = 0x33});
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.send(Bytes(25, 0x00)));
    EXPECT_EQ(tool.drain(kQuiet), Bytes{0x33}) << "one byte for the whole run";
    EXPECT_EQ(tool.read(0x00), device->eeprom()[0]) << "a zero address is no wake-up";
    ASSERT_TRUE(tool.send({0x00, 0x00, 0xE6, 0xFD}));
    EXPECT_EQ(tool.drain(kQuiet), (Bytes{0x33, 20})) << "every run, before the answer";
  }
}

// Lower bounds only: a slow machine can make an answer later, never earlier.
TEST(SimFaults, LatencyAndWireTimeHoldEveryAnswerBack) {
  {
    auto device = startedDevice({.latencyMs = 300});
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.send({0xE6, 0xFD}));
    EXPECT_FALSE(tool.receive(milliseconds(150)));
    EXPECT_EQ(tool.receive(milliseconds(3000)), 20);
  }
  {
    // At 100 baud an exchange of three bytes takes 300 ms on the wire.
    auto device = startedDevice({.baud = 100});
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.send({0xE6, 0xFD}));
    EXPECT_FALSE(tool.receive(milliseconds(200)));
    EXPECT_EQ(tool.receive(milliseconds(3000)), 20);
  }
  {
    // Garbage takes wire time too, and the faults combine.
    auto device = startedDevice({.wrongEchoAt = 1, .garbage = 2, .latencyMs = 20, .baud = 100});
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.send({0xE9, 0x01, 0x0F}));
    std::vector<std::uint8_t> answer;
    if (const auto first = tool.receive(milliseconds(3000))) answer.push_back(*first);
    for (const std::uint8_t more : tool.drain(milliseconds(400))) answer.push_back(more);
    ASSERT_EQ(answer.size(), 3u);
    EXPECT_EQ(answer[2], 0xF0);
  }
}

}  // namespace
}  // namespace lk24::devsim
