// The link through the real serial stack to the simulated device on a
// pseudo-terminal, with the real event loop and timers: what a user gets from
// a read or a program run, every failure of the line or the device, and that
// the next request works afterwards.

#include "EventLoopWait.h"
#include "RecordingView.h"
#include "link/AfComPortLine.h"
#include "link/DeviceLink.h"
#include "link/FolderBackupStore.h"
#include "link/LinkTexts.h"
#include "serial/AfComPort.h"
#include "serial/AfPortResolver.h"
#include "serial/HolderProcess.h"
#include "serial/AfUtils.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/QtLinkTimer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <ostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lk24::test {
namespace {

using devsim::DeviceSimulator;
using devsim::Options;

class EndToEnd : public ::testing::Test {
 protected:
  // Declared first so that they outlive the port that talks to them.
  std::vector<std::unique_ptr<DeviceSimulator>> devices;
  std::vector<std::string> escapedErrors;
  ConfigImage image;
  RecordingView view;
  TAfComPort port;
  std::unique_ptr<AfComPortLine> line;
  std::unique_ptr<DeviceLink> link;
  QTemporaryDir backupRoot;

  void SetUp() override {
    SetStandardErrorDisplay([this](const std::string& message) { escapedErrors.push_back(message); });
    image.AndMask.fill(0xFF);
    line = std::make_unique<AfComPortLine>(port);
    link = std::make_unique<DeviceLink>(image, view, *line, std::make_unique<QtLinkTimer>(),
                                        std::make_unique<QtLinkTimer>());
    link->setBackupStore(std::make_unique<FolderBackupStore>(backupRoot.filePath("LK24.ini").toStdString()));
  }

  void TearDown() override {
    link.reset();
    line.reset();
    port.Close();
    SetStandardErrorDisplay({});
    ::unsetenv("LK24_COM1");
  }

  DeviceSimulator& startDevice(Options options = {}) {
    devices.push_back(std::make_unique<DeviceSimulator>(std::move(options)));
    std::string error;
    EXPECT_TRUE(devices.back()->start(&error)) << error;
    ::setenv("LK24_COM1", devices.back()->slavePath().c_str(), 1);
    return *devices.back();
  }

  bool waitIdle(int ms = 60000) {
    return waitUntil([this] { return !link->transferRunning(); }, ms);
  }
  void readNow() {
    link->read();
    ASSERT_TRUE(waitIdle());
  }
  void programNow() {
    link->program();
    ASSERT_TRUE(waitIdle());
  }

  // Idle in the window, and a fresh device on the same COM port reads cleanly.
  void expectNextRequestWorks() {
    EXPECT_TRUE(view.looksIdle());
    EXPECT_TRUE(escapedErrors.empty()) << escapedErrors.front();
    DeviceSimulator& fresh = startDevice();
    view.clearLog();
    readNow();
    EXPECT_EQ(view.entryTexts(), std::vector<std::string>{linktext::readDone()})
        << "longest stall of the event loop: " << longestStallMs() << " ms";
    EXPECT_EQ(image.DeviceImage, fresh.eeprom());
  }
};

TEST_F(EndToEnd, ReadFillsTheImageRecognisesTheReceiverAndClosesThePortAfterwards) {
  DeviceSimulator& device = startDevice();
  readNow();
  EXPECT_EQ(image.DeviceImage, device.eeprom());
  EXPECT_EQ(view.entries, (std::vector<LogEntry>{{linktext::readDone(), LogColour::Black, 1}}));
  EXPECT_EQ(view.plainLines, (std::vector<std::string>{linktext::receiverRecognised(), std::string()}));
  EXPECT_TRUE(link->ReceiverDetected());
  EXPECT_TRUE(view.looksIdle());
  EXPECT_EQ(view.gaugeHistory.back(), 100);
  // The wake-up run and 256 read commands, nothing else.
  const auto stats = device.stats();
  EXPECT_EQ(stats.commands, 256);
  EXPECT_EQ(stats.bytesIn, 25 + 256 * 2);
  EXPECT_EQ(stats.bytesOut, 256);
  EXPECT_TRUE(port.Active());
  EXPECT_TRUE(waitUntil([this] { return !port.Active(); }, 10000));
  EXPECT_TRUE(escapedErrors.empty());
}

TEST_F(EndToEnd, ProgramRunLeavesTheMergedImageWithTheDevicesSerialNumbers) {
  DeviceSimulator& device = startDevice();
  const Table original = device.eeprom();
  Table user = original;
  for (int a = 20; a <= 55; ++a) user[a] = static_cast<std::uint8_t>(a * 3);
  for (int a : {176, 177, 234, 235}) user[a] = 0xEE;  // someone else's serial number
  user[239] = 0;                                       // stale checksum
  image.DeviceImage = user;
  image.AndMask[30] = 0x0F;  // a protected nibble takes the factory's bits
  image.OrMask[30] = 0xF0;
  image.FactoryImage[30] = 0x90;

  programNow();

  Table expected = user;
  expected[30] = static_cast<std::uint8_t>((user[30] & 0x0F) | 0x90);
  for (int a : {176, 177, 234, 235}) expected[a] = original[a];
  expected[239] = calculatechecksum(expected);
  for (int a = 248; a < 256; ++a) expected[a] = original[a];
  EXPECT_EQ(device.eeprom(), expected);
  EXPECT_EQ(image.DeviceImage, expected);
  EXPECT_EQ(view.entryTexts().back(), linktext::programDone());
  EXPECT_EQ(view.beeps, 0);
  EXPECT_EQ(device.stats().commands, 256 + 21 + 248 + 256);
  EXPECT_TRUE(view.looksIdle());
  EXPECT_TRUE(escapedErrors.empty());
}

// A backup on a slow disk takes longer than the 200 ms the port stays open
// after the last byte of the pre-read; the write pass must not lose its port.
TEST_F(EndToEnd, ASlowBackupDoesNotCloseThePortUnderTheWritePass) {
  struct SlowStore final : BackupStore {
    FolderBackupStore disk;
    explicit SlowStore(const QString& templatePath) : disk(templatePath.toStdString()) {}
    BackupResult store(const DeviceBackup& backup) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      return disk.store(backup);
    }
  };
  DeviceSimulator& device = startDevice();
  link->setBackupStore(std::make_unique<SlowStore>(backupRoot.filePath("LK24.ini")));
  image.DeviceImage = device.eeprom();
  programNow();
  EXPECT_EQ(view.entryTexts().back(), linktext::programDone()) << "longest stall of the event loop: "
                                                                << longestStallMs() << " ms";
  EXPECT_EQ(device.stats().commands, 256 + 21 + 248 + 256);
}

struct FailureCase {
  const char* name;
  Options options;
  bool program;
  std::vector<std::string> entries;
  int beeps;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

std::vector<FailureCase> failureCases() {
  auto with = [](auto change) {
    Options o;
    change(o);
    return o;
  };
  return {
      {"silent", with([](Options& o) { o.silent = true; }), false,
       {linktext::transferError(0), linktext::checkConnection()}, 0},
      {"stop after 10", with([](Options& o) { o.stopAfter = 10; }), false, {linktext::transferError(10)}, 0},
      {"wrong echo", with([](Options& o) { o.wrongEchoAt = 7; }), true, {linktext::transferError(7)}, 0},
      {"bad checksum", with([](Options& o) { o.badChecksum = true; }), false, {linktext::checksumWrong()}, 0},
      {"firmware 1.20 read", with([](Options& o) { o.firmware = std::pair{1, 20}; }), false,
       {linktext::readDone(), linktext::firmwareMismatch()}, 0},
      {"type 30", with([](Options& o) { o.typeCode = 30; }), false, {linktext::readDone()}, 0},
      // One refusal end to end; the link's own table has every cause.
      {"firmware and protection", with([](Options& o) {
         o.firmware = std::pair{2, 0};
         o.writeProtected = true;
       }),
       true, {linktext::firmwareMismatch(), linktext::writeProtected()}, 1},
  };
}

class EndToEndFailure : public EndToEnd, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(EndToEndFailure, IsReportedAndLeavesTheWindowUsable) {
  const FailureCase& c = GetParam();
  DeviceSimulator& device = startDevice(c.options);
  if (c.program) {
    image.DeviceImage = devsim::defaultImage(devsim::DeviceType::Receiver);
    programNow();
  } else {
    readNow();
  }
  std::vector<std::string> texts = view.entryTexts();
  // A run that reached its write pass first names the backup of the device.
  if (c.program && c.beeps == 0) {
    ASSERT_FALSE(texts.empty());
    EXPECT_TRUE(texts.front().starts_with(
        QString::fromStdString(linktext::backupSaved(backupRoot.filePath("Sicherungen/Empfaenger-").toStdString()))
            .chopped(1)
            .toStdString()));
    texts.erase(texts.begin());
  }
  EXPECT_EQ(texts, c.entries);
  EXPECT_EQ(view.beeps, c.beeps);
  if (c.options.typeCode) {
    EXPECT_EQ(view.plainLines, std::vector<std::string>{std::string()});
    EXPECT_FALSE(link->ReceiverDetected() || link->TransmitterDetected());
  }
  if (c.program && c.beeps > 0) {
    EXPECT_EQ(device.stats().commands, 256);  // refused after the pre-read: nothing written
  }
  expectNextRequestWorks();
}

INSTANTIATE_TEST_SUITE_P(Device, EndToEndFailure, ::testing::ValuesIn(failureCases()),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST_F(EndToEnd, GarbageBeforeTheAnswersEndsTheReadWithoutAnErrorBox) {
  Options options;
  options.garbage = 1;
  DeviceSimulator& device = startDevice(options);
  readNow();
  // Every stray byte is taken as an answer, so the image is not the device's.
  EXPECT_NE(image.DeviceImage, device.eeprom());
  ASSERT_FALSE(view.entries.empty());
  expectNextRequestWorks();
}

TEST_F(EndToEnd, PortThatDoesNotExistCannotBeOpened) {
  ::setenv("LK24_COM1", "/nonexistent/lk24-no-such-port", 1);
  link->read();
  EXPECT_FALSE(link->transferRunning());
  // The entry as it always was, then one red line with the device and the cause.
  ASSERT_EQ(view.events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(view.events.begin(), view.events.begin() + 2),
            (std::vector<std::string>{"beep", "info:Fehler beim Öffnen COM-Port"}));
  EXPECT_EQ(view.entries[1].text,
            std::string("COM1 (/nonexistent/lk24-no-such-port): Gerät nicht vorhanden – ist der "
                           "USB-Adapter eingesteckt?"));
  EXPECT_EQ(view.entries[1].colour, LogColour::Red);
  EXPECT_EQ(view.entries[1].style & entrystyle::kTimeStamp, 0);

  expectNextRequestWorks();
}

TEST_F(EndToEnd, LineVanishingMidTransferEndsInATransferError) {
  Options options;
  options.latencyMs = 1;
  DeviceSimulator& device = startDevice(options);
  link->read();
  ASSERT_TRUE(waitUntil([this] { return link->state().BytePos >= 40; }, 30000));
  device.vanish();
  ASSERT_TRUE(waitIdle());
  // The hang-up ends the transfer and frees the port, then says why.
  ASSERT_EQ(view.entries.size(), 2u);
  EXPECT_TRUE(view.entries[0].text.starts_with(std::string("Übertragungsfehler bei Byte ")));
  EXPECT_EQ(view.entries[0].colour, LogColour::Red);
  EXPECT_TRUE(view.entries[1].text.ends_with(
      std::string("Verbindung getrennt – wurde der USB-Adapter abgezogen?")));
  EXPECT_FALSE(port.Active());
  expectNextRequestWorks();
}

TEST_F(EndToEnd, ProbeFindsTheSimulatedPortAndLeavesItClosed) {
  startDevice();
  ::setenv("LK24_COM2", "/nonexistent/lk24-no-such-port", 1);
  line->setComNumber(1);
  link->probePorts();
  EXPECT_TRUE(view.comEnabled[1]);
  EXPECT_FALSE(view.comEnabled[2]);
  EXPECT_EQ(line->ComNumber(), 1);
  EXPECT_FALSE(port.Active());
  ::unsetenv("LK24_COM2");
  expectNextRequestWorks();
}

TEST_F(EndToEnd, APortAnotherProcessHoldsWithoutLockGetsNothingAndTheLogNamesThatProcess) {
  DeviceSimulator& device = startDevice();
  HolderProcess terminalProgram(device.slavePath());
  link->read();
  EXPECT_FALSE(link->transferRunning());
  ASSERT_EQ(view.entryTexts().size(), 2u);
  EXPECT_NE(view.entryTexts()[1].find("sleep (PID " + std::to_string(terminalProgram.pid()) + ")"), std::string::npos)
      << view.entryTexts()[1];
  EXPECT_EQ(device.stats().bytesIn, 0) << "nothing was written to the held port";

  link->probePorts();
  EXPECT_FALSE(view.comEnabled[1]);
  EXPECT_EQ(view.comToolTip[1], view.entryTexts()[1]);
  terminalProgram.Stop();
  expectNextRequestWorks();
}

}  // namespace
}  // namespace lk24::test
