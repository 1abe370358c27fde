// What a program run takes from the device must be the device's: a disturbed
// answer in the pre-read never becomes a serial number, a wrong checksum is
// blamed on the device only when two reads agree, and a backup goes back only
// into the device it came from, byte for byte.

#include "LinkHarness.h"
#include "link/LinkTexts.h"

#include <gtest/gtest.h>

namespace lk24::test {
namespace {

// The wake-up run, the pre-read and the second look at the 21 bytes it
// reads twice (3, both serial numbers, 240 to 255).
constexpr std::size_t kPreReadBytes = 25 + 2 * 256 + 2 * 21;

bool wroteAnyWriteCommand(const FakeSerialLine& line) {
  // A wrong checksum reads the whole image a second time.
  return line.written.size() > kPreReadBytes + 2 * 256;
}

// The log of a transfer the line ended: the byte, what was heard, the connection.
std::vector<std::string> lineFault(int address, const std::string& heard) {
  return {linktext::transferError(address), heard, linktext::checkConnection()};
}

TEST(DeviceBytes, ANoisyAnswerForAByteTheRunTakesEndsItBeforeTheFirstWrite) {
  // Each byte the run takes from the device or decides by, with noise that
  // passes the pre-read's own checks: a protected device heard unprotected,
  // an unsupported firmware heard as one that fits, a minor that still fits;
  // and bytes no checksum covers, which the backup keeps and the verify expects.
  struct Case {
    int address;
    std::uint8_t mask;
    int deviceValue;  // -1: the device's own
  };
  for (const Case& c : {Case{3, 0x01, 0x01}, Case{176, 0xFF, -1}, Case{177, 0xFF, -1}, Case{234, 0xFF, -1},
                        Case{235, 0xFF, -1}, Case{253, 0xFF, -1}, Case{254, 0x01, 0}, Case{255, 0x08, -1},
                        Case{245, 0xFF, -1}, Case{250, 0xFF, -1}}) {
    SCOPED_TRACE(c.address);
    LinkHarness h;
    if (c.deviceValue >= 0) h.device.eeprom[c.address] = static_cast<std::uint8_t>(c.deviceValue);
    h.device.eeprom[addr::kChecksum] = calculatechecksum(h.device.eeprom);
    Table user = deviceImage();
    user[40] = 0x21;
    h.image.DeviceImage = user;
    const Table device = h.device.eeprom;
    h.device.noisyAnswer = c.address;  // the pre-read's answer for this address
    h.device.noiseMask = c.mask;
    h.program();
    EXPECT_FALSE(wroteAnyWriteCommand(h.line));
    EXPECT_EQ(h.device.eeprom, device);
    EXPECT_TRUE(h.backups->kept.empty());
    EXPECT_EQ(h.image.DeviceImage, user);
    EXPECT_TRUE(h.view.looksIdle());
    EXPECT_EQ(h.view.beeps, 0);  // no refusal: the second read caught it
    const std::uint8_t heard = device[c.address] ^ c.mask;
    EXPECT_EQ(h.view.entryTexts(), lineFault(c.address, linktext::readsDiffer(c.address, heard, device[c.address])));
  }
}

TEST(DeviceBytes, ADisturbedPreReadByteNeverGoesIntoTheBackup) {
  // Byte 50 is read by no second look but the one a wrong checksum asks for.
  LinkHarness h;
  const Table device = h.device.eeprom;
  h.device.noisyAnswer = 50;
  h.program();
  EXPECT_TRUE(h.backups->kept.empty());
  EXPECT_EQ(h.device.eeprom, device);
  ASSERT_EQ(h.view.results.size(), 1u);
  EXPECT_EQ(h.view.results[0].ending, TransferEnding::DisturbedLine);
  EXPECT_EQ(h.view.results[0].disturbance.address, 50);

  // A device whose checksum is really wrong is read twice alike, and kept exactly.
  LinkHarness wrong;
  wrong.device.eeprom[addr::kChecksum] ^= 0x01;
  const Table asIs = wrong.device.eeprom;
  Table backedUp{};
  std::size_t writtenAtBackup = 0;
  wrong.backups->whenStored = [&] {
    backedUp = wrong.image.ReadBuffer;  // what the backup is made of
    writtenAtBackup = wrong.line.written.size();
  };
  wrong.program();
  ASSERT_EQ(wrong.backups->kept.size(), 1u);
  EXPECT_EQ(backedUp, asIs);
  EXPECT_EQ(writtenAtBackup, kPreReadBytes + 2 * 256);
  EXPECT_EQ(wrong.view.results.back().ending, TransferEnding::Done);
}

TEST(DeviceBytes, MoreThanOneAnswerIsADisturbedLineAndACommandThatComesBackALoopback) {
  for (const bool program : {false, true}) {
    SCOPED_TRACE(program);
    LinkHarness extra;
    const Table device = extra.device.eeprom;
    const Table before = extra.image.DeviceImage;
    extra.device.extraAfter = 7;
    if (program) {
      extra.program();
    } else {
      extra.read();
    }
    EXPECT_EQ(extra.device.eeprom, device);
    EXPECT_TRUE(extra.backups->kept.empty());
    EXPECT_EQ(extra.image.DeviceImage, before);
    EXPECT_EQ(extra.view.results.back().ending, TransferEnding::TransferError);
    EXPECT_EQ(extra.view.entryTexts(), lineFault(7, linktext::extraBytes(2)));
  }
  LinkHarness loop;
  loop.device.loopback = true;
  loop.read();
  EXPECT_TRUE(loop.view.results.back().loopback);
  EXPECT_EQ(loop.view.entryTexts(), lineFault(0, linktext::loopback()));

  // One answer that happens to be the command is one odd answer, not a cable.
  LinkHarness once;
  once.device.commandBackAt = 12;
  once.read();
  EXPECT_FALSE(once.view.results.back().loopback);
  EXPECT_EQ(once.view.entryTexts(), lineFault(12, linktext::extraBytes(2)));
}

TEST(DeviceBytes, AnAnswerThatComesTwiceLateIsHeardAtTheEndOfItsPass) {
  // The copy arrives after the next command, so each answer since is taken
  // one command too early; the last one then comes when none is awaited.
  struct Case {
    bool program;
    int copiedAnswer;
    int lastAddress;
  };
  for (const Case& c : {Case{false, 7, 255}, Case{true, 7, 255}, Case{true, 256 + 21 + 248 + 5, 255}}) {
    SCOPED_TRACE(c.copiedAnswer);
    LinkHarness h;
    Table wanted = h.device.eeprom;
    wanted[40] ^= 0x01;
    wanted[addr::kChecksum] = calculatechecksum(wanted);
    h.image.DeviceImage = wanted;
    const Table device = h.device.eeprom;
    h.device.lateExtraAfter = c.copiedAnswer;
    if (c.program) {
      h.program();
    } else {
      h.read();
    }
    ASSERT_EQ(h.view.results.size(), 1u);
    EXPECT_EQ(h.view.results[0].ending, TransferEnding::TransferError);
    const std::vector<std::string> entries = h.view.entryTexts();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(entries.end() - 3, entries.end()),
              lineFault(c.lastAddress, linktext::unexpectedAnswer()));
    EXPECT_EQ(h.image.DeviceImage, wanted);  // neither the shifted read nor the read-back is taken
    // A shifted pre-read writes nothing; a shifted read-back finds the device as written.
    const bool inVerify = c.copiedAnswer > 256;
    EXPECT_EQ(h.backups->kept.size(), inVerify ? 1u : 0u);
    EXPECT_EQ(h.device.eeprom, inVerify ? wanted : device);
  }
}

TEST(DeviceBytes, AWrongChecksumIsTheDevicesOnlyWhenTwoReadsAgree) {
  LinkHarness noisy;
  const Table before = noisy.image.DeviceImage;
  noisy.device.noisyAnswer = 17;
  noisy.read();
  EXPECT_EQ(noisy.view.entryTexts(),
            (std::vector<std::string>{linktext::transferError(17),
                                  linktext::readsDiffer(17, noisy.device.eeprom[17] ^ 0xFF, noisy.device.eeprom[17]),
                                  linktext::checkConnection()}));
  EXPECT_EQ(noisy.image.DeviceImage, before);  // neither read is taken
  EXPECT_TRUE(noisy.view.looksIdle());

  LinkHarness wrong;
  wrong.device.eeprom[addr::kChecksum] ^= 0x01;
  wrong.read();
  EXPECT_EQ(wrong.view.entryTexts(), std::vector<std::string>{linktext::checksumWrong()});
  EXPECT_EQ(wrong.line.written.size(), 25u + 2 * 2 * 256);  // read twice
  EXPECT_EQ(wrong.image.DeviceImage, wrong.device.eeprom);
}

TEST(DeviceBytes, ARestoreWritesTheBackupExactlyIntoItsOwnDevice) {
  LinkHarness h;
  Table backup = h.device.eeprom;
  backup[40] = 0x33;
  backup[addr::kChecksum] ^= 0x10;  // its own checksum byte, right or not
  backup[244] = 0x77;               // and what no merge would keep
  h.image.AndMask.fill(0x00);       // a merge would take every bit from the factory image
  h.link->restore(backup);
  h.device.pump();
  EXPECT_EQ(h.view.entryTexts().back(), linktext::programDone());
  for (int a = 0; a <= addr::kLastWritten; ++a) EXPECT_EQ(h.device.eeprom[a], backup[a]) << a;
  EXPECT_EQ(h.backups->kept.size(), 1u);  // the present state is kept first

  // A backup of another receiver is refused with both serial numbers.
  LinkHarness other;
  Table foreign = backup;
  foreign[addr::kReceiverSerialLow] ^= 0x01;
  const Table device = other.device.eeprom;
  other.link->restore(foreign);
  other.device.pump();
  EXPECT_EQ(other.view.entryTexts(), std::vector<std::string>{linktext::otherDevice(std::string("Empfänger 04661"),
                                                                                std::string("Empfänger 04660"))});
  EXPECT_EQ(other.view.beeps, 1);
  EXPECT_EQ(other.device.eeprom, device);
  EXPECT_TRUE(other.backups->kept.empty());
}

TEST(DeviceBytes, EveryByteWrittenIsVerifiedAndTheBytesAboveMustNotChange) {
  // A restore and a program run alike: a cell above 239 that does not take is named by its number.
  for (const bool restore : {true, false}) {
    SCOPED_TRACE(restore);
    LinkHarness h;
    Table wanted = h.device.eeprom;
    wanted[245] ^= 0x0F;
    h.image.DeviceImage = wanted;
    h.device.stuckAddresses = {245};
    if (restore) {
      h.link->restore(wanted);
      h.device.pump();
    } else {
      h.program();
    }
    EXPECT_EQ(h.view.entryTexts(),
              (std::vector<std::string>{linktext::backupSaved(MemoryBackupStore::pathOf(h.backups->kept.at(0))),
                                        linktext::verifyDifference(),
                                        linktext::verifyDetails({linktext::verifyDetail(
                                            "Byte 245", h.device.eeprom[245], wanted[245])})}));
    EXPECT_EQ(h.view.results.back().ending, TransferEnding::VerifyDifferences);
  }

  // The type byte changing under the write pass is no success either.
  LinkHarness changed;
  const int type = changed.device.eeprom[addr::kDeviceType];
  changed.device.stopAfter = 256 + 21 + 248;  // the pre-read, its second read and the writes
  changed.program();
  ASSERT_EQ(changed.link->state().phase, Phase::Verifying);
  changed.device.eeprom[addr::kDeviceType] = 10;
  changed.device.stopAfter.reset();
  changed.line.receive(changed.device.eeprom[0]);  // the answer the stop held back
  changed.device.pump();
  ASSERT_EQ(changed.view.results.size(), 1u);
  const TransferResult& result = changed.view.results[0];
  EXPECT_EQ(result.ending, TransferEnding::VerifyDifferences);
  ASSERT_EQ(result.differences.size(), 1u);
  EXPECT_EQ(result.differences[0].address, addr::kDeviceType);
  EXPECT_EQ(result.differences[0].wanted, type);
}

TEST(DeviceBytes, BackupsAreNamedByTheSerialNumberOfTheDevicesOwnType) {
  // deviceImage(): receiver number 0x1234 in 176/177, transmitter number 0x5678 in 234/235.
  for (const auto& [type, prefix] : {std::pair{20, "Empfaenger-04660-"}, std::pair{10, "Sender-22136-"},
                                     std::pair{33, "Geraet-22136-"}}) {
    SCOPED_TRACE(prefix);
    LinkHarness h;
    h.device.eeprom = deviceImage(type);
    h.image.DeviceImage = h.device.eeprom;
    h.program();
    ASSERT_EQ(h.backups->kept.size(), 1u);
    EXPECT_EQ(h.backups->kept[0].fileName.rfind(prefix, 0), 0u) << h.backups->kept[0].fileName;
  }
}

}  // namespace
}  // namespace lk24::test
