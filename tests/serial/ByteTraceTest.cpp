// The field trace: every byte the port sends and receives, in the order and
// format of the simulated device's own trace.

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
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("lk24-trace-" + std::to_string(::getpid()));
  std::string tracePath = (folder / "trace.txt").string();
  PtyPair pty;
  TAfComPort port;
  std::vector<std::uint8_t> received;

  void SetUp() override {
    std::filesystem::create_directories(folder);
    pty.BindTo(57);
    port.setComNumber(57);
    port.OnDataRecived = [this](TAfCustomSerialPort*, std::int32_t count) {
      for (std::int32_t i = 0; i < count; ++i) received.push_back(port.ReadChar());
    };
  }
  void TearDown() override {
    port.Close();
    AfSetByteTracePath(std::nullopt);
    std::filesystem::remove_all(folder);
  }

  // One read command out and its answer back.
  void Exchange(std::uint8_t address, std::uint8_t answer) {
    port.Open();
    port.WriteChar(0xE6);
    port.WriteChar(char(address));
    EXPECT_EQ(pty.Receive(2, 3000).size(), 2u);
    received.clear();
    pty.Send({answer});
    EXPECT_TRUE(PumpUntil([&] { return received.size() == 1; }, 3000));
    port.Close();
  }

  std::vector<std::string> TraceLines() const {
    std::ifstream in(tracePath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TEST_F(TracedPort, EveryByteOfEveryOpenIsOneLineWithAMonotonicTime) {
  AfSetByteTracePath(tracePath);
  Exchange(0x05, 0x42);
  Exchange(0xFD, 0x14);

  const std::regex byteLine("^(in |out) +([0-9]+) ([0-9A-F]{2})$");
  std::string bytes;
  long long last = -1;
  int opens = 0;
  for (const std::string& line : TraceLines()) {
    if (line.starts_with("# COM57 " + pty.slavePath() + " opened")) ++opens;
    if (line.starts_with("#")) continue;
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, byteLine)) << line;
    const long long micros = std::stoll(parts[2]);
    EXPECT_GE(micros, last) << "one clock for both opens";
    last = micros;
    bytes += (parts[1] == "out" ? "<" : ">") + parts[3].str() + " ";
  }
  EXPECT_EQ(bytes, ">E6 >05 <42 >E6 >FD <14 ") << "> to the device, < from it";
  EXPECT_EQ(opens, 2) << "both opens in the one file";
}

TEST_F(TracedPort, ATraceThatCannotBeWrittenLeavesThePortWorking) {
  AfSetByteTracePath((folder / "missing" / "trace.txt").string());
  testing::internal::CaptureStderr();
  Exchange(0x05, 0x42);
  Exchange(0x06, 0x43);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(received, std::vector<std::uint8_t>{0x43});
  EXPECT_NE(said.find("LK24_TRACE: " + (folder / "missing" / "trace.txt").string()), std::string::npos);
  EXPECT_EQ(said.find('\n'), said.size() - 1) << "said once, not at every open: " << said;
}

}  // namespace
