// Every request ends with exactly one result, and its details are the
// device's and the run's own: callers decide by them, never by a log text.

#include "LinkHarness.h"
#include "MemoryBackupStore.h"

#include <gtest/gtest.h>

namespace lk24::test {
namespace {

const TransferResult& onlyResult(const RecordingView& view) {
  EXPECT_EQ(view.results.size(), 1u);
  return view.results.back();
}

TEST(TransferResult, ProgramRunsNameTheBackupTheFailedByteTheReasonsAndEachDifference) {
  LinkHarness done;
  done.program();
  const TransferResult& programmed = onlyResult(done.view);
  EXPECT_EQ(programmed.ending, TransferEnding::Done);
  ASSERT_EQ(done.backups->kept.size(), 1u);
  EXPECT_EQ(programmed.backupPath, MemoryBackupStore::pathOf(done.backups->kept[0]));
  EXPECT_EQ(programmed.deviceImage, done.device.eeprom);  // the read-back

  LinkHarness cut;
  cut.device.stopAfter = 256 + 8 + 30;  // the echo of byte 30 never comes
  cut.program();
  cut.rsTimeout->fire();
  EXPECT_EQ(onlyResult(cut.view).ending, TransferEnding::TransferError);
  EXPECT_EQ(onlyResult(cut.view).failedPass, Pass::Write);
  EXPECT_EQ(onlyResult(cut.view).failedByte, 30);

  LinkHarness stuck;
  stuck.image.DeviceImage[40] = static_cast<std::uint8_t>(stuck.device.eeprom[40] ^ 0x0F);
  stuck.device.stuckAddresses = {40};
  stuck.program();
  const TransferResult& differing = onlyResult(stuck.view);
  EXPECT_EQ(differing.ending, TransferEnding::VerifyDifferences);
  ASSERT_FALSE(differing.differences.empty());
  EXPECT_EQ(differing.differences[0].address, 40);
  EXPECT_EQ(differing.differences[0].device, stuck.device.eeprom[40]);
  EXPECT_EQ(differing.differences[0].wanted, stuck.image.WriteImage[40]);

  LinkHarness noisy;
  noisy.device.noisyAnswer = 256 + 1;  // the second read of the receiver's serial number, high byte
  noisy.program();
  const TransferResult& disturbed = onlyResult(noisy.view);
  EXPECT_EQ(disturbed.ending, TransferEnding::DisturbedLine);
  EXPECT_EQ(disturbed.disturbance.address, addr::kReceiverSerialHigh);
  EXPECT_EQ(disturbed.disturbance.first, noisy.device.eeprom[addr::kReceiverSerialHigh]);
  EXPECT_EQ(disturbed.disturbance.second, noisy.device.eeprom[addr::kReceiverSerialHigh] ^ 0xFF);

  LinkHarness refused;
  refused.device.eeprom[addr::kWriteProtect] = 0x01;
  refused.device.eeprom[addr::kFirmwareMajor] = 2;
  refused.program();
  EXPECT_EQ(onlyResult(refused.view).ending, TransferEnding::Refused);
  EXPECT_EQ(onlyResult(refused.view).refusals, (std::vector<Refusal>{Refusal::Firmware, Refusal::WriteProtected}));

  LinkHarness unsaved;
  unsaved.backups->refuseWith = "voll";
  unsaved.program();
  EXPECT_EQ(onlyResult(unsaved.view).ending, TransferEnding::BackupFailed);
  EXPECT_EQ(onlyResult(unsaved.view).backupFailure, "voll");
}

TEST(TransferResult, ACancelEndsOnlyAReadPass) {
  LinkHarness reading;
  reading.link->read();
  EXPECT_TRUE(reading.link->cancel());
  EXPECT_EQ(onlyResult(reading.view).ending, TransferEnding::Interrupted);
  EXPECT_FALSE(reading.link->transferRunning());

  LinkHarness writing;
  writing.device.stopAfter = 256 + 8 + 10;
  writing.program();
  EXPECT_EQ(writing.link->state().phase, Phase::Writing);
  EXPECT_FALSE(writing.link->cancel());
  EXPECT_TRUE(writing.link->transferRunning());
  EXPECT_TRUE(writing.view.results.empty());
}

}  // namespace
}  // namespace lk24::test
