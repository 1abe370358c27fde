// Every way a request can fail or be refused: what the log shows, when it
// beeps, and that the window is idle and usable afterwards.

#include "LinkHarness.h"
#include "MemoryBackupStore.h"
#include "link/LinkTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lk24::test {
namespace {

using Op = FakeSerialLine::Op;

const LogEntry errorEntry(const std::string& text) { return {text, LogColour::Red, 3}; }

bool wroteAnyWriteCommand(const FakeSerialLine& line) {
  // Write commands only follow the 25 + 512 bytes of wake-up and pre-read
  // and the second read of the 21 bytes taken from the device or left out of its checksum.
  return line.written.size() > 25 + 512 + 42;
}

TEST(TransferFailure, PortThatCannotBeOpenedBeepsFirstAndChangesNothing) {
  for (bool program : {false, true}) {
    SCOPED_TRACE(program ? "program" : "read");
    LinkHarness h;
    h.line.unavailable = {1};
    const Table shown = h.image.DeviceImage;
    if (program) {
      h.link->program();
    } else {
      h.link->read();
    }
    const auto last2 = std::vector<std::string>(h.view.events.end() - 2, h.view.events.end());
    EXPECT_EQ(last2, (std::vector<std::string>{"beep", "info:Fehler beim Öffnen COM-Port"}));
    EXPECT_EQ(h.view.entries, std::vector<LogEntry>{errorEntry(linktext::portOpenFailed())});
    EXPECT_EQ(h.view.beeps, 1);
    EXPECT_TRUE(h.line.written.empty());
    EXPECT_FALSE(h.link->transferRunning());
    EXPECT_TRUE(h.view.leseEnabled && h.view.progEnabled && h.view.menuEnabled);
    EXPECT_FALSE(h.rsTimeout->isEnabled());
    if (!program) {
      EXPECT_EQ(h.image.DeviceImage, shown);
    }
  }
}

TEST(TransferFailure, UnconfirmedProgramRunTouchesNoPort) {
  LinkHarness h;
  h.view.confirmAnswer = false;
  h.link->program();
  EXPECT_EQ(h.view.entries,
            std::vector<LogEntry>{errorEntry("\"Gerät programmieren\" vom Anwender abgebrochen!")});
  EXPECT_EQ(h.view.beeps, 0);
  EXPECT_TRUE(h.line.ops.empty());
  EXPECT_FALSE(h.link->transferRunning());
}

TEST(TransferFailure, ReadWithWrongChecksumKeepsImageButSkipsRecognition) {
  LinkHarness h;
  h.device.eeprom[addr::kChecksum] ^= 0x01;
  h.read();
  EXPECT_EQ(h.view.entries, std::vector<LogEntry>{errorEntry(linktext::checksumWrong())});
  EXPECT_EQ(h.view.beeps, 0);
  EXPECT_TRUE(h.view.plainLines.empty());
  EXPECT_FALSE(h.link->ReceiverDetected());
  EXPECT_EQ(h.image.DeviceImage, h.device.eeprom);
  EXPECT_EQ(h.view.showdataCalls, 1);
  EXPECT_TRUE(h.view.looksIdle());
}

TEST(TransferFailure, ReadOfUnsupportedFirmwareReportsButKeepsImage) {
  LinkHarness h;
  h.device.eeprom[addr::kFirmwareMinor] = 20;  // 1.20: one past the range
  h.read();
  EXPECT_EQ(h.view.entryTexts(), (std::vector<std::string>{linktext::readDone(), linktext::firmwareMismatch()}));
  EXPECT_EQ(h.view.entries[1], errorEntry(linktext::firmwareMismatch()));
  EXPECT_EQ(h.view.beeps, 0);
  EXPECT_EQ(h.image.DeviceImage, h.device.eeprom);
  EXPECT_EQ(h.view.showdataCalls, 1);
}

// The entry that names the backup of the device's previous bytes.
LogEntry backupEntry(const LinkHarness& h) {
  return {linktext::backupSaved(MemoryBackupStore::pathOf(h.backups->kept.at(0))), LogColour::Black, 3};
}

struct Refusal {
  bool wrongFirmware;
  bool writeProtected;
  bool backupFails;
  std::vector<std::string> entries;
};

// A refused run writes nothing and gives the window back the image the user
// asked to program, so that "Programmieren" again (or "Speichern", or closing)
// carries the user's configuration, not the device's old one.
TEST(TransferFailure, RefusedProgramRunWritesNothingAndKeepsTheUsersImage) {
  const std::string noFolder("Ordner \"/x/Sicherungen\" kann nicht angelegt werden");
  const std::vector<Refusal> cases{
      {true, false, false, {linktext::firmwareMismatch()}},
      {false, true, false, {linktext::writeProtected()}},
      {true, true, false, {linktext::firmwareMismatch(), linktext::writeProtected()}},
      {false, false, true, {linktext::backupFailed(noFolder)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entries.front());
    LinkHarness h;
    if (c.wrongFirmware) h.device.eeprom[addr::kFirmwareMajor] = 2;
    if (c.writeProtected) h.device.eeprom[addr::kWriteProtect] |= 0x01;
    h.device.eeprom[addr::kChecksum] = calculatechecksum(h.device.eeprom);
    if (c.backupFails) h.backups->refuseWith = noFolder;
    Table user = deviceImage();
    user[40] = 0xC4;
    user[addr::kWriteProtect] = 0x00;
    h.image.DeviceImage = user;
    const Table device = h.device.eeprom;
    h.program();
    EXPECT_EQ(h.view.entryTexts(), c.entries);
    for (const auto& e : h.view.entries) EXPECT_EQ(e, errorEntry(e.text));
    EXPECT_EQ(h.view.beeps, 1);
    EXPECT_FALSE(wroteAnyWriteCommand(h.line));
    EXPECT_EQ(h.device.eeprom, device);
    EXPECT_TRUE(h.backups->kept.empty());
    EXPECT_EQ(h.image.DeviceImage, user);  // the user's, and the window shows it again
    const std::vector<std::string> tail(h.view.events.end() - 2, h.view.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"beep", "showdata"}));
    EXPECT_TRUE(h.view.looksIdle());
    EXPECT_FALSE(h.rsTimeout->isEnabled());
  }
}

TEST(TransferFailure, VerifyDifferencesAreListedAndTheRetryWritesTheUsersImage) {
  LinkHarness h;
  Table user = deviceImage();
  for (int a : {10, 20, 30, 243}) user[a] ^= 0x5A;
  h.image.DeviceImage = user;
  h.device.stuckAddresses = {10, 20, 30, 243};
  h.program();
  // One error entry for the run, then the count and every byte written that did not take.
  ASSERT_EQ(h.view.entries.size(), 3u);
  EXPECT_EQ(h.view.entries[0], backupEntry(h));
  EXPECT_EQ(h.view.entries[1], errorEntry("! FEHLER Verify !"));
  const std::string list = h.view.entries[2].text;
  EXPECT_EQ(list.rfind("4 Bytes abweichend: ", 0), 0u) << list;
  for (int a : {10, 20, 30, 243}) {
    const std::string values = ": Gerät " + std::to_string(h.device.eeprom[a]) + ", gewünscht " + std::to_string(user[a]);
    const std::string byte = "Byte " + std::to_string(a);
    EXPECT_TRUE(list.find(byte + values) != std::string::npos || list.find(byte + ")" + values) != std::string::npos)
        << a << ' ' << list;
  }
  EXPECT_EQ(h.view.entries[2].colour, LogColour::Red);
  EXPECT_EQ(h.view.beeps, 1);
  EXPECT_EQ(std::count(h.view.events.begin(), h.view.events.end(), "focus:Prog"), 0);
  EXPECT_TRUE(h.view.plainLines.empty());
  EXPECT_EQ(h.view.events.back(), "showdata");
  EXPECT_EQ(h.image.DeviceImage, user);  // not the read-back
  EXPECT_TRUE(h.view.looksIdle());

  // The cells repaired, a second run puts the user's values in.
  h.device.stuckAddresses.clear();
  h.program();
  EXPECT_EQ(h.view.entries.back().text, linktext::programDone());
  for (int a : {10, 20, 30, 243}) EXPECT_EQ(h.device.eeprom[a], user[a]) << a;
}

TEST(TransferFailure, SilentDeviceTimesOutAtByteZeroAndLeavesThePortOpen) {
  LinkHarness h;
  h.device.stopAfter = 0;
  h.read();
  EXPECT_TRUE(h.link->transferRunning());
  EXPECT_FALSE(h.view.leseEnabled);
  EXPECT_TRUE(h.rsTimeout->fire());
  EXPECT_EQ(h.view.entries,
            (std::vector<LogEntry>{errorEntry("Übertragungsfehler bei Byte 0"),
                                   {std::string("    ! Verbindung prüfen !"), LogColour::Red, 2}}));
  EXPECT_EQ(h.view.beeps, 0);
  EXPECT_TRUE(h.view.looksIdle());
  EXPECT_FALSE(h.link->transferRunning());
  EXPECT_TRUE(h.line.isOpen);
  EXPECT_FALSE(h.closeTimer->isEnabled());
  EXPECT_FALSE(h.rsTimeout->isEnabled());
}

TEST(TransferFailure, DeviceStoppingAfterTenAnswersClosesThePortThenTimesOutAtByteTen) {
  LinkHarness h;
  h.device.stopAfter = 10;
  h.read();
  EXPECT_EQ(h.link->state().BytePos, 10);
  h.closeTimer->fire();  // 200 ms after the tenth byte
  EXPECT_FALSE(h.line.isOpen);
  h.rsTimeout->fire();   // 500 ms after the eleventh command
  EXPECT_EQ(h.view.entries, std::vector<LogEntry>{errorEntry(linktext::transferError(10))});
  EXPECT_TRUE(h.view.looksIdle());

  // The next request reopens the port and starts again from byte 0.
  h.device.stopAfter.reset();
  h.view.clearLog();
  h.read();
  EXPECT_EQ(h.view.entryTexts(), std::vector<std::string>{linktext::readDone()});
  EXPECT_EQ(h.image.DeviceImage, h.device.eeprom);
}

// A comparison reads like "Auslesen", but whether it completes or is cut
// short the window keeps its image, its recognised device and its frame.
TEST(TransferFailure, ComparisonCutShortLeavesTheWindowsImageAndDevice) {
  LinkHarness h;
  h.read();
  ASSERT_TRUE(h.link->ReceiverDetected());
  const Table shown = h.image.DeviceImage;
  h.device.eeprom = deviceImage(10);  // now a transmitter
  h.device.stopAfter = h.device.answered + 100;
  h.link->compare();
  h.device.pump();
  EXPECT_TRUE(h.link->transferRunning());
  EXPECT_FALSE(h.link->ReceiverDetected());  // a read pass clears the flags as it goes
  h.rsTimeout->fire();
  EXPECT_FALSE(h.link->transferRunning());
  EXPECT_TRUE(h.link->ReceiverDetected());
  EXPECT_EQ(h.view.highlight, DeviceHighlight::Receiver);
  EXPECT_EQ(h.image.DeviceImage, shown);

  // Completed: the transmitter is recognised in the log, not in the window.
  h.device.stopAfter.reset();
  h.link->compare();
  h.device.pump();
  EXPECT_FALSE(h.link->transferRunning());
  EXPECT_TRUE(h.link->ReceiverDetected());
  EXPECT_FALSE(h.link->TransmitterDetected());
  EXPECT_EQ(h.view.highlight, DeviceHighlight::Receiver);
  EXPECT_EQ(h.image.DeviceImage, shown);
  EXPECT_EQ(h.image.ReadBuffer, h.device.eeprom);
}

TEST(TransferFailure, WrongEchoStopsTheRunUntilARightEchoOrTheTimeout) {
  LinkHarness h;
  h.device.wrongEchoAt = 7;
  h.program();
  const std::vector<std::uint8_t> lastCommand{0xE9, 0x07, h.image.WriteImage[7]};
  EXPECT_TRUE(std::equal(lastCommand.rbegin(), lastCommand.rend(), h.line.written.rbegin()));
  EXPECT_EQ(h.link->state().BytePos, 7);
  EXPECT_TRUE(h.link->state().ProgramMode());

  // A right echo still in time carries on with address 8.
  h.line.receive(h.image.WriteImage[7]);
  EXPECT_EQ(h.link->state().BytePos, 8);
  EXPECT_EQ(h.line.written[h.line.written.size() - 2], 0x08);

  LinkHarness late;
  late.device.wrongEchoAt = 7;
  late.program();
  late.rsTimeout->fire();
  EXPECT_EQ(late.view.entries, (std::vector<LogEntry>{backupEntry(late), errorEntry(linktext::transferError(7))}));
  EXPECT_EQ(late.view.beeps, 0);
  EXPECT_TRUE(late.view.looksIdle());
}

TEST(TransferFailure, TimeoutInAnyPassOfAProgramRunGivesBackTheUsersImage) {
  // Answers the device gives, and the byte the run then stops at: in the
  // pre-read, in the write pass and in the verify pass.
  for (const auto& [stopAfter, bytePos] : {std::pair{100, 100}, std::pair{256 + 21 + 60, 60}, std::pair{256 + 21 + 248 + 3, 3}}) {
    SCOPED_TRACE(stopAfter);
    LinkHarness h;
    Table user = deviceImage();
    user[5] = 0xEE;
    user[1] = 0xDD;
    h.image.DeviceImage = user;
    h.device.stopAfter = stopAfter;
    h.program();
    EXPECT_TRUE(h.link->transferRunning());
    h.rsTimeout->fire();
    EXPECT_EQ(h.view.entries.back(), errorEntry(linktext::transferError(bytePos)));
    EXPECT_EQ(h.view.beeps, 0);
    EXPECT_EQ(h.image.DeviceImage, user);
    EXPECT_EQ(h.view.events.back(), "showdata");
    EXPECT_TRUE(h.view.looksIdle());
  }
}

}  // namespace
}  // namespace lk24::test
