// The simulator driven over its pseudo-terminal the way the tool drives a
// device: stop-and-wait reads and writes after a wake-up run.

#include "PtyClient.h"
#include "SimTestSupport.h"

#include "model/ConfigImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace lk24::devsim {
namespace {

using std::chrono::milliseconds;
using test::PtyClient;
using test::startedDevice;

using test::kQuiet;

TEST(SimProtocol, AReceiverReadsBackItsWholeImage) {
  auto device = startedDevice({.type = DeviceType::Receiver});
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.read(0xFD), 20);
  EXPECT_EQ(tool.read(0xFE), 1);
  EXPECT_EQ(tool.read(0xFF), 5);

  std::array<std::uint8_t, 256> read{};
  for (int address = 0; address < 256; ++address) {
    const auto byte = tool.read(address);
    ASSERT_TRUE(byte) << "no answer for address " << address;
    read[address] = *byte;
  }
  EXPECT_EQ(read, defaultImage(DeviceType::Receiver));
  EXPECT_EQ(calculatechecksum(read), read[addr::kChecksum]);
  EXPECT_TRUE(tool.drain(kQuiet).empty()) << "exactly one answer per command";
  const auto stats = device->stats();
  EXPECT_EQ(stats.commands, 259);
  EXPECT_EQ(stats.bytesIn, 2 * 259);
  EXPECT_EQ(stats.bytesOut, 259);
}

TEST(SimProtocol, WritesAreStoredAndEchoed) {
  auto device = startedDevice({.type = DeviceType::Transmitter});
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.read(0xFD), 10);

  // Snapshots taken while the device serves must be consistent.
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done.load()) {
      const auto snapshot = device->eeprom();
      EXPECT_EQ(snapshot[addr::kDeviceType], 10);
    }
  });
  for (int address = 0; address <= 247; ++address) {
    const int data = (address * 7 + 3) & 0xFF;
    EXPECT_EQ(tool.write(address, data), data) << "address " << address;
  }
  done = true;
  watcher.join();

  const auto image = device->eeprom();
  for (int address = 0; address <= 247; ++address) {
    EXPECT_EQ(image[address], (address * 7 + 3) & 0xFF);
    EXPECT_EQ(tool.read(address), image[address]);
  }
  EXPECT_EQ(image[addr::kDeviceType], 10) << "bytes never written stay";
}

TEST(SimProtocol, IgnoresTheWakeUpRunAndStrayBytes) {
  auto device = startedDevice();
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  std::vector<std::uint8_t> noise(25, 0x00);
  noise.insert(noise.end(), {0x55, 0xFF, 0x01, 0x00});
  ASSERT_TRUE(tool.send(noise));
  EXPECT_TRUE(tool.drain(kQuiet).empty());
  EXPECT_EQ(tool.read(0xFD), 20) << "the noise must not leave a command half begun";
  EXPECT_EQ(device->stats().commands, 1);
}

TEST(SimProtocol, AnswersBackToBackCommandsInOrder) {
  auto device = startedDevice();
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  ASSERT_TRUE(tool.send({0xE6, 0xFD, 0xE9, 0x10, 0x33, 0xE6, 0xFF, 0xE6, 0x10}));
  EXPECT_EQ(tool.receive(), 20);
  EXPECT_EQ(tool.receive(), 0x33);
  EXPECT_EQ(tool.receive(), 5);
  EXPECT_EQ(tool.receive(), 0x33);
}

TEST(SimProtocol, DropsAHalfCommandAfterASecondOfSilence) {
  auto device = startedDevice();
  const auto before = device->eeprom();
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  ASSERT_TRUE(tool.send({0xE9, 0x05}));
  std::this_thread::sleep_for(milliseconds(1100));
  // Were the half command still pending, E6 would be stored at 5 and echoed.
  EXPECT_EQ(tool.read(0xFD), 20);
  EXPECT_EQ(device->eeprom(), before);
}

TEST(SimProtocol, TheToolMayCloseAndReopenBetweenRequests) {
  auto device = startedDevice();
  {
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.isOpen());
    EXPECT_EQ(tool.read(0xFE), 1);
    // An answer the tool never reads before it closes the port...
    ASSERT_TRUE(tool.send({0xE6, 0xFD}));
    std::this_thread::sleep_for(milliseconds(50));
  }
  // ...is gone when it opens the port again, as on a real line.
  std::this_thread::sleep_for(milliseconds(50));
  PtyClient again(device->slavePath());
  ASSERT_TRUE(again.isOpen());
  EXPECT_TRUE(again.drain(milliseconds(50)).empty());
  EXPECT_EQ(again.read(0xFF), 5);
}

TEST(SimProtocol, ALineWithoutTheToolStaysUp) {
  auto device = startedDevice();
  // The device is up before anyone opens its line, and stays up between opens.
  std::this_thread::sleep_for(milliseconds(50));
  for (int round = 0; round < 3; ++round) {
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.isOpen());
    EXPECT_EQ(tool.read(0xFD), 20) << "round " << round;
  }
}

TEST(SimProtocol, VanishingHangsUpTheTool) {
  auto device = startedDevice();
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.read(0xFD), 20);
  device->vanish();
  EXPECT_TRUE(tool.pollEvents(POLLIN, milliseconds(1000)) & POLLHUP);
  EXPECT_FALSE(tool.read(0xFD, kQuiet));
  device->vanish();  // a second pull changes nothing
  device->stop();
  device->stop();
}

TEST(SimProtocol, StartsOnlyOnceAndStopsWithoutStarting) {
  DeviceSimulator never({});
  never.stop();
  EXPECT_TRUE(never.slavePath().empty());

  auto device = startedDevice();
  std::string error;
  EXPECT_FALSE(device->start(&error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace lk24::devsim
