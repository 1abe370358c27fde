// The field trace: every byte the port sends and receives, in the order and
// line format of the simulated device's own trace.

#include "SerialTestSupport.h"

#include "serial/AfByteTrace.h"
#include "serial/AfComPort.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

struct TracedPort : ::testing::Test {
  const std::string path = std::filesystem::temp_directory_path() / ("lk24-trace-" + std::to_string(getpid()));
  PtyPair pty;
  TAfComPort port;
  std::vector<std::uint8_t> received;

  void SetUp() override {
    pty.BindTo(57);
    port.setComNumber(57);
    port.OnDataRecived = [this](TAfCustomSerialPort*, std::int32_t count) {
      while (count-- > 0) received.push_back(port.ReadChar());
    };
  }
  void TearDown() override {
    AfSetByteTracePath(std::nullopt);
    std::filesystem::remove(path);
  }
  // A read command out, its answer back, in one open of the port.
  void Exchange(std::uint8_t address, std::uint8_t answer) {
    port.Open();
    port.WriteData(std::array<std::uint8_t, 2>{0xE6, address}.data(), 2);
    EXPECT_EQ(pty.Receive(2, 3000).size(), 2u);
    pty.Send({answer});
    EXPECT_TRUE(PumpUntil([&] { return !received.empty() && received.back() == answer; }, 3000));
    port.Close();
  }
};

TEST_F(TracedPort, EveryByteOfEveryOpenIsOneLineWithAMonotonicTime) {
  AfSetByteTracePath(path);
  Exchange(0x05, 0x42);
  Exchange(0xFD, 0x14);
  const std::regex byteLine("^(in |out) +([0-9]+) ([0-9A-F]{2})$");
  std::string bytes;
  long long last = -1;
  int opens = 0;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line == "# COM57 " + pty.slavePath() + " opened") ++opens;
    if (line.starts_with("#")) continue;
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, byteLine)) << line;
    EXPECT_GE(std::stoll(parts[2]), last) << "one clock for both opens";
    last = std::stoll(parts[2]);
    bytes += (parts[1] == "out" ? "<" : ">") + parts[3].str() + " ";
  }
  EXPECT_EQ(bytes, ">E6 >05 <42 >E6 >FD <14 ") << "> to the device, < from it";
  EXPECT_EQ(opens, 2);
}

TEST_F(TracedPort, ATraceThatCannotBeWrittenIsSaidOnceAndThePortWorks) {
  const std::string missing = path + "-missing/trace.txt";
  AfSetByteTracePath(missing);
  testing::internal::CaptureStderr();
  Exchange(0x05, 0x42);
  Exchange(0x06, 0x43);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(received, (std::vector<std::uint8_t>{0x42, 0x43}));
  EXPECT_EQ(said.find("LK24_TRACE: " + missing), 0u) << said;
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
}

}  // namespace
