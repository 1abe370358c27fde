// Faults that hit only some of the answers: random garbage now and then or
// from some answer on, and a latency that varies from answer to answer.

#include "PtyClient.h"
#include "SimTestSupport.h"

#include "tools/devsim/CommandLine.h"

#include <gtest/gtest.h>

#include <chrono>

namespace lk24::devsim {
namespace {

using std::chrono::milliseconds;
using test::PtyClient;
using test::startedDevice;

constexpr int kReads = 40;

// Sends kReads read commands at once and counts the bytes that come back.
std::size_t bytesForManyReads(DeviceSimulator& device) {
  PtyClient tool(device.slavePath());
  EXPECT_TRUE(tool.isOpen());
  std::vector<std::uint8_t> commands;
  for (int i = 0; i < kReads; ++i) {
    commands.push_back(0xE6);
    commands.push_back(static_cast<std::uint8_t>(i));
  }
  EXPECT_TRUE(tool.send(commands));
  return tool.drain(milliseconds(300)).size();
}

TEST(SimShareFaults, GarbageComesBeforeOnlyItsShareOfTheAnswers) {
  auto some = startedDevice({.garbage = 1, .garbagePercent = 50, .seed = 3});
  const std::size_t withSome = bytesForManyReads(*some);
  EXPECT_GT(withSome, static_cast<std::size_t>(kReads));
  EXPECT_LT(withSome, static_cast<std::size_t>(2 * kReads));
  EXPECT_EQ(some->stats().bytesOut, static_cast<long>(withSome));
  EXPECT_EQ(some->stats().commands, kReads);

  auto none = startedDevice({.garbage = 4, .garbagePercent = 0});
  EXPECT_EQ(bytesForManyReads(*none), static_cast<std::size_t>(kReads));

  auto late = startedDevice({.garbage = 1, .garbageFrom = 10});
  EXPECT_EQ(bytesForManyReads(*late), static_cast<std::size_t>(kReads + kReads - 10));
}

TEST(SimShareFaults, JitterDelaysAnswersByDifferentAmounts) {
  // Lower bounds only: a slow machine makes answers later, never earlier.
  auto device = startedDevice({.jitterMs = 200, .seed = 5});
  PtyClient tool(device->slavePath());
  ASSERT_TRUE(tool.isOpen());
  auto longest = milliseconds(0);
  for (int address = 0; address < 8; ++address) {
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(tool.read(address, milliseconds(3000)), device->eeprom()[address]);
    longest = std::max(longest, std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - sent));
  }
  EXPECT_GE(longest, milliseconds(60));

  // With no share, even a jitter of up to a minute never holds an answer back.
  auto calm = startedDevice({.jitterMs = 60000, .jitterPercent = 0});
  PtyClient other(calm->slavePath());
  ASSERT_TRUE(other.isOpen());
  for (int address = 0; address < 5; ++address) {
    EXPECT_EQ(other.read(address, milliseconds(5000)), calm->eeprom()[address]);
  }
}

TEST(SimShareFaults, CommandLineTakesTheSharesAndRefusesOutOfRange) {
  const ParsedCommandLine parsed = parseCommandLine(
      {"--garbage", "2", "--garbage-percent", "30", "--garbage-from", "9", "--jitter-ms", "150", "--jitter-percent", "5"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.garbagePercent, 30);
  EXPECT_EQ(parsed.options.garbageFrom, 9);
  EXPECT_EQ(parsed.options.jitterMs, 150);
  EXPECT_EQ(parsed.options.jitterPercent, 5);
  EXPECT_EQ(parseCommandLine({}).options.garbagePercent, 100);

  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--garbage-percent", "101"}, {"--garbage-from", "-1"}, {"--jitter-percent", "-1"}, {"--jitter-ms", "60001"}}) {
    EXPECT_NE(parseCommandLine(bad).error, "") << bad[0] << " " << bad[1];
  }
}

}  // namespace
}  // namespace lk24::devsim
