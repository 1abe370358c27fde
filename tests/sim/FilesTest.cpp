// What the simulator reads and leaves on disk: the image files, the trace
// and the link to its line.

#include "PtyClient.h"
#include "SimTestSupport.h"

#include "model/ConfigImage.h"
#include "model/LineList.h"
#include "model/TemplateFormat.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace lk24::devsim {
namespace {

using test::PtyClient;
using test::ScratchDir;
using test::startedDevice;

std::vector<std::string> linesOf(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SimFiles, AProgrammedImageIsSavedAndLoadsBack) {
  ScratchDir dir;
  const std::string saved = dir.file("programmed.lk2");
  std::array<std::uint8_t, 256> programmed{};
  {
    auto device = startedDevice({.type = DeviceType::Transmitter, .saveFile = saved});
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.isOpen());
    EXPECT_EQ(tool.write(88, 0), 0);
    EXPECT_EQ(tool.write(89, 90), 90);
    EXPECT_EQ(tool.write(200, 0xAB), 0xAB);
    programmed = device->eeprom();
    device->stop();
    EXPECT_EQ(device->lastError(), "");
  }
  // The tool can open the file too: it is a complete, valid configuration file.
  LineList lines;
  ASSERT_EQ(lines.loadFromFile(saved), FileReadStatus::Ok);
  EXPECT_EQ(lines.count(), line::kCount);
  ConfigImage tables;
  EXPECT_EQ(loadTemplateTables(lines, tables), TemplateLoad::Valid);
  EXPECT_EQ(tables.DeviceImage, programmed);
  int firmwareLine = -1;
  for (int i = line::kChecksumLow; i < lines.count(); ++i) {
    if (lines.line(i) == "[Firmware-T]") firmwareLine = i + 1;
  }
  EXPECT_EQ(lines.line(firmwareLine), " 1.05") << "the transmitter's firmware as the tool shows it";

  auto reloaded = startedDevice({.imageFile = saved});
  EXPECT_EQ(reloaded->eeprom(), programmed);
  PtyClient tool(reloaded->slavePath());
  EXPECT_EQ(tool.read(89), 90);
  EXPECT_EQ(tool.read(0xFD), 10) << "the file's device type wins over the default receiver";
}

TEST(SimFiles, ImageFaultsApplyOnTopOfALoadedImage) {
  ScratchDir dir;
  const std::string saved = dir.file("receiver.lk2");
  startedDevice({.saveFile = saved})->stop();
  auto device = startedDevice({.imageFile = saved, .firmware = std::pair{1, 0}, .writeProtected = true});
  const auto image = device->eeprom();
  EXPECT_EQ(image[addr::kFirmwareMinor], 0);
  EXPECT_EQ(image[addr::kWriteProtect] & 0x01, 1);
  EXPECT_EQ(image[addr::kChecksum], calculatechecksum(image));
}

TEST(SimFiles, AnImageFileThatDoesNotLoadStopsTheStart) {
  ScratchDir dir;
  const std::string broken = dir.file("broken.lk2");
  startedDevice({.saveFile = broken})->stop();
  LineList lines;
  ASSERT_EQ(lines.loadFromFile(broken), FileReadStatus::Ok);
  LineList damaged;
  for (int i = 0; i < lines.count(); ++i) damaged.append(i == 300 ? "zwölf" : lines.line(i));
  ASSERT_EQ(damaged.saveToFile(broken), FileWriteStatus::Ok);

  for (const std::string& path : {broken, dir.file("missing.lk2"), dir.file("")}) {
    SCOPED_TRACE(path);
    DeviceSimulator device({.imageFile = path});
    std::string error;
    EXPECT_FALSE(device.start(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
}

TEST(SimFiles, TheTraceHasALinePerByteAndASummary) {
  ScratchDir dir;
  const std::string tracePath = dir.file("trace.txt");
  auto device = startedDevice({.garbage = 1, .traceFile = tracePath});
  {
    PtyClient tool(device->slavePath());
    ASSERT_TRUE(tool.send({0x00, 0x00, 0xE6, 0xFD}));
    ASSERT_EQ(tool.drain(std::chrono::milliseconds(200)).size(), 2u);
    ASSERT_TRUE(tool.send({0xE9, 0x05, 0x42}));
    const auto echo = tool.drain(std::chrono::milliseconds(200));
    ASSERT_EQ(echo.size(), 2u);
    EXPECT_EQ(echo[1], 0x42);
  }
  device->stop();
  EXPECT_EQ(device->lastError(), "");

  std::vector<std::string> in;
  std::vector<std::string> out;
  std::vector<std::string> summary;
  long long lastInTime = -1;
  for (const std::string& text : linesOf(tracePath)) {
    if (text.starts_with("#")) {
      summary.push_back(text);
      continue;
    }
    std::istringstream fields(text);
    std::string direction;
    long long micros = -1;
    std::string hex;
    fields >> direction >> micros >> hex;
    ASSERT_TRUE(fields && micros >= 0 && hex.size() == 2) << text;
    if (direction == "in") {
      EXPECT_GE(micros, lastInTime);
      lastInTime = micros;
      in.push_back(hex);
    } else {
      ASSERT_EQ(direction, "out") << text;
      out.push_back(hex);
    }
  }
  EXPECT_EQ(in, (std::vector<std::string>{"00", "00", "E6", "FD", "E9", "05", "42"}));
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[1], "14");
  EXPECT_EQ(out[3], "42");
  const auto mentions = [&](const std::string& text) {
    for (const std::string& line : summary) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(mentions("commands served: 2"));
  EXPECT_TRUE(mentions("bytes in: 7"));
  EXPECT_TRUE(mentions("bytes out: 4"));
  EXPECT_TRUE(mentions("first command to last answer: "));
  EXPECT_FALSE(mentions("none answered"));
}

TEST(SimFiles, TheLinkPointsAtTheLineUntilStop) {
  ScratchDir dir;
  const std::string link = dir.file("COM1");
  ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0) << "a stale link from an earlier run";
  auto device = startedDevice({.linkPath = link});
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), device->slavePath());
  {
    PtyClient tool(link);
    ASSERT_TRUE(tool.isOpen());
    EXPECT_EQ(tool.read(0xFD), 20);
  }
  device->stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

  // A real file in the link's place is never clobbered.
  { std::ofstream(link) << "keep me"; }
  DeviceSimulator refused({.linkPath = link});
  std::string error;
  EXPECT_FALSE(refused.start(&error));
  EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
  EXPECT_EQ(linesOf(link), std::vector<std::string>{"keep me"});
}

}  // namespace
}  // namespace lk24::devsim
