// The bytes a read request and a program run put on the line, and the order
// of sending and receiving: one command, one answer, the next command.

#include "LinkHarness.h"
#include "link/LinkTexts.h"
#include "model/TemplateFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lk24::test {
namespace {

using Op = FakeSerialLine::Op;

std::vector<std::uint8_t> wakeUp() { return std::vector<std::uint8_t>(25, 0x00); }

void appendReads(std::vector<std::uint8_t>& bytes) {
  for (int a = 0; a < 256; ++a) {
    bytes.push_back(0xE6);
    bytes.push_back(static_cast<std::uint8_t>(a));
  }
}

// After the wake-up run's purge, every command is written whole and then
// exactly one byte is read (after a PurgeTx) before the next command starts.
void expectStopAndWait(const std::vector<FakeSerialLine::Record>& ops, int commands) {
  auto it = std::find_if(ops.begin(), ops.end(), [](const auto& r) { return r.op == Op::Write; });
  it += 25;
  ASSERT_EQ(it->op, Op::PurgeRx);
  ++it;
  for (int c = 0; c < commands; ++c) {
    int writes = 0;
    while (it != ops.end() && it->op == Op::Write) {
      ++writes;
      ++it;
    }
    ASSERT_TRUE(writes == 2 || writes == 3) << "command " << c;
    ASSERT_NE(it, ops.end()) << "command " << c << " got no answer";
    ASSERT_EQ(it->op, Op::PurgeTx) << "command " << c;
    ++it;
    ASSERT_EQ(it->op, Op::Read) << "command " << c;
    ++it;
  }
}

TEST(TransferSequence, ReadRequestOpensWakesAndReadsEveryAddressInTurn) {
  LinkHarness h;
  h.line.setComNumber(3);
  h.line.ops.clear();
  h.read();

  const std::vector<FakeSerialLine::Record> opening{
      {Op::SetCom, 3}, {Op::Close, 3}, {Op::Open, 3}, {Op::PurgeRx, 0}, {Op::PurgeTx, 0}};
  ASSERT_GE(h.line.ops.size(), opening.size());
  EXPECT_TRUE(std::equal(opening.begin(), opening.end(), h.line.ops.begin()));

  std::vector<std::uint8_t> expected = wakeUp();
  appendReads(expected);
  EXPECT_EQ(h.line.written, expected);
  expectStopAndWait(h.line.ops, 256);

  EXPECT_EQ(h.image.DeviceImage, h.device.eeprom);
  EXPECT_EQ(h.image.ReadBuffer, h.device.eeprom);
  EXPECT_FALSE(h.link->transferRunning());
}

TEST(TransferSequence, ReadRequestEndsWithSuccessRecognitionRefreshAndFocus) {
  LinkHarness h;
  h.read();

  ASSERT_EQ(h.view.entries.size(), 1u);
  EXPECT_EQ(h.view.entries[0], (LogEntry{linktext::readDone(), LogColour::Black, 1}));
  EXPECT_EQ(h.view.plainLines, (std::vector<std::string>{linktext::receiverRecognised(), std::string()}));
  EXPECT_TRUE(h.link->ReceiverDetected());
  EXPECT_FALSE(h.link->TransmitterDetected());
  EXPECT_EQ(h.view.highlight, DeviceHighlight::Receiver);
  EXPECT_EQ(h.view.beeps, 0);
  ASSERT_GE(h.view.events.size(), 2u);
  EXPECT_EQ(h.view.events[h.view.events.size() - 2], "showdata");
  EXPECT_EQ(h.view.events.back(), "focus:Lese");
  EXPECT_TRUE(h.view.looksIdle());

  // The answer time-out is off; the port closes once the line has been quiet.
  EXPECT_FALSE(h.rsTimeout->isEnabled());
  EXPECT_EQ(h.rsTimeout->interval(), 500);
  EXPECT_TRUE(h.closeTimer->isEnabled());
  EXPECT_EQ(h.closeTimer->interval(), 200);
  EXPECT_TRUE(h.line.isOpen);
  h.closeTimer->fire();
  EXPECT_FALSE(h.line.isOpen);
  EXPECT_FALSE(h.closeTimer->isEnabled());
}

TEST(TransferSequence, GaugeRunsFromZeroToHundredInEachPass) {
  LinkHarness h;
  h.link->read();
  EXPECT_TRUE(h.view.gaugeVisible);
  EXPECT_TRUE(h.view.panelVisible);
  ASSERT_EQ(h.view.gaugeHistory, std::vector<int>{0});
  h.device.pump();
  // Start, then one value per byte computed before the increment.
  ASSERT_EQ(h.view.gaugeHistory.size(), 257u);
  EXPECT_EQ(h.view.gaugeHistory[1], 0);
  EXPECT_EQ(h.view.gaugeHistory[129], 50);  // byte 128: 50.2 %
  EXPECT_EQ(h.view.gaugeHistory.back(), 100);
  EXPECT_TRUE(std::is_sorted(h.view.gaugeHistory.begin(), h.view.gaugeHistory.end()));

  h.view.gaugeHistory.clear();
  h.program();
  // Start, pre-read 256, write 248, verify 256.
  ASSERT_EQ(h.view.gaugeHistory.size(), 1u + 256 + 248 + 256);
  EXPECT_EQ(h.view.gaugeHistory[256], 100);        // last byte of the pre-read
  EXPECT_EQ(h.view.gaugeHistory[257], 0);          // first echo
  EXPECT_EQ(h.view.gaugeHistory[256 + 124], 50);   // echo of byte 123: 49.8 %
  EXPECT_EQ(h.view.gaugeHistory[256 + 248], 100);  // 248th echo
  EXPECT_EQ(h.view.gaugeHistory.back(), 100);
  EXPECT_EQ(gaugePercent(124, 247), 50);
  EXPECT_EQ(gaugePercent(1, 255), 0);
  EXPECT_EQ(gaugePercent(2, 255), 1);
}

TEST(TransferSequence, ProgramRunReadsWritesAndReadsBackWithTheTurnAfterE6FF) {
  LinkHarness h;
  Table user = deviceImage();
  user[0] = 0x05;
  user[1] = 0x01;
  for (int a = 20; a < 60; ++a) user[a] = static_cast<std::uint8_t>(a + 100);  // the user's edits
  user[addr::kReceiverSerialHigh] = 0xAA;  // not the device's serial number
  user[addr::kReceiverSerialLow] = 0xBB;
  user[addr::kTransmitterSerialHigh] = 0xCC;
  user[addr::kTransmitterSerialLow] = 0xDD;
  user[240] = 0x42;
  user[250] = 0x99;  // never written
  h.image.DeviceImage = user;
  h.device.eeprom[0] = 0x77;
  h.device.eeprom[addr::kChecksum] = calculatechecksum(h.device.eeprom);  // read once
  const Table before = h.device.eeprom;
  std::size_t writtenAtBackup = 0;
  h.backups->whenStored = [&] { writtenAtBackup = h.line.written.size(); };

  h.program();

  Table expected = user;
  expected[addr::kReceiverSerialHigh] = before[addr::kReceiverSerialHigh];
  expected[addr::kReceiverSerialLow] = before[addr::kReceiverSerialLow];
  expected[addr::kTransmitterSerialHigh] = before[addr::kTransmitterSerialHigh];
  expected[addr::kTransmitterSerialLow] = before[addr::kTransmitterSerialLow];
  expected[addr::kChecksum] = calculatechecksum(expected);
  for (int a = 248; a < 256; ++a) expected[a] = before[a];
  EXPECT_EQ(h.device.eeprom, expected);
  EXPECT_EQ(h.image.DeviceImage, expected);  // the read-back

  std::vector<std::uint8_t> bytes = wakeUp();
  appendReads(bytes);
  std::vector<int> readTwice{3, 176, 177, 234, 235};  // and all bytes the checksum leaves out
  for (int a = 240; a < 256; ++a) readTwice.push_back(a);
  for (int a : readTwice) {  // read twice before anything is written
    bytes.push_back(0xE6);
    bytes.push_back(static_cast<std::uint8_t>(a));
  }
  for (int a = 0; a < 248; ++a) {
    bytes.push_back(0xE9);
    bytes.push_back(static_cast<std::uint8_t>(a));
    bytes.push_back(expected[a]);
  }
  appendReads(bytes);
  EXPECT_EQ(h.line.written, bytes);
  expectStopAndWait(h.line.ops, 256 + 21 + 248 + 256);

  const std::vector<std::uint8_t> turn{0xE6, 0xFF, 0xE9, 0x00, 0x05, 0xE9, 0x01, 0x01};
  EXPECT_TRUE(std::equal(turn.begin(), turn.end(), h.line.written.begin() + 25 + 510 + 42));

  // The device's previous bytes are kept after the pre-read, before the first write.
  ASSERT_EQ(h.backups->kept.size(), 1u);
  EXPECT_EQ(writtenAtBackup, 25u + 512u + 42u);
  EXPECT_EQ(parseDeviceImage(h.backups->kept[0].lines), before);
  EXPECT_EQ(h.view.entryTexts(), (std::vector<std::string>{linktext::backupSaved(MemoryBackupStore::pathOf(h.backups->kept[0])),
                                                       linktext::programDone()}));
  EXPECT_EQ(h.view.entries[0].colour, LogColour::Black);
  EXPECT_EQ(h.view.entries[1].style, 1);
  EXPECT_EQ(h.view.entries[1].colour, LogColour::Black);
  EXPECT_EQ(h.view.beeps, 0);
  EXPECT_EQ(h.view.questions, std::vector<std::string>{linktext::confirmOverwrite()});
  EXPECT_EQ(h.view.events.front(), "showdata");  // refresh before the merge and the question
  EXPECT_NE(std::find(h.view.events.begin(), h.view.events.end(), "focus:Prog"), h.view.events.end());
  EXPECT_EQ(h.view.events.back(), "showdata");
  EXPECT_TRUE(h.view.looksIdle());
  EXPECT_TRUE(h.link->ReceiverDetected());
}

TEST(TransferSequence, ProgramRunWritesTheMergedImageNotTheRawEdits) {
  LinkHarness h;
  Table user = deviceImage();
  user[40] = 0xFF;
  h.image.DeviceImage = user;
  h.image.AndMask[40] = 0x0F;      // high nibble protected
  h.image.OrMask[40] = 0xF0;       // ... and taken from the factory image
  h.image.FactoryImage[40] = 0xA5;
  h.program();
  EXPECT_EQ(h.device.eeprom[40], 0xAF);
  EXPECT_EQ(h.device.eeprom[addr::kChecksum], calculatechecksum(h.device.eeprom));
}

TEST(TransferSequence, DerivedPausesFollowTheProgrammedTransmittersOwnSerialNumber) {
  LinkHarness h;
  h.device.eeprom = deviceImage(10);
  h.device.eeprom[addr::kTransmitterSerialLow] = 0x03;  // n = 3
  h.device.eeprom[addr::kChecksum] = calculatechecksum(h.device.eeprom);
  Table user = deviceImage(10);
  user[233] |= 0x04;                          // derive the pauses
  user[addr::kTransmitterSerialLow] = 0x2B;   // the file's serial number: n = 11
  user[185] = 0, user[186] = 69;              // as the refresh derived them from it
  user[210] = 1, user[211] = 32;
  h.image.DeviceImage = user;
  h.program();
  EXPECT_EQ(h.view.entryTexts().back(), linktext::programDone());
  EXPECT_EQ(h.device.eeprom[185] * 256 + h.device.eeprom[186], 37);
  EXPECT_EQ(h.device.eeprom[210] * 256 + h.device.eeprom[211], 224);
  EXPECT_EQ(h.device.eeprom[addr::kChecksum], calculatechecksum(h.device.eeprom));
}

}  // namespace
}  // namespace lk24::test
