// The details a result carries are the run's own: the pass and byte that
// got no answer, each differing byte with both values, both reads of a
// disturbed byte and every reason of a refusal.

#include "LinkHarness.h"

#include <gtest/gtest.h>

namespace lk24::test {
namespace {

const TransferResult& onlyResult(const RecordingView& view) {
  EXPECT_EQ(view.results.size(), 1u);
  return view.results.back();
}

TEST(TransferResult, NamesTheFailedByteTheReasonsAndBothValuesOfEachDifference) {
  LinkHarness cut;
  cut.device.stopAfter = 256 + 21 + 30;  // the echo of byte 30 never comes
  cut.program();
  cut.rsTimeout->fire();
  EXPECT_EQ(onlyResult(cut.view).ending, TransferEnding::TransferError);
  EXPECT_EQ(onlyResult(cut.view).failedPass, Pass::Write);
  EXPECT_EQ(onlyResult(cut.view).failedByte, 30);

  LinkHarness stuck;
  stuck.image.DeviceImage[40] = static_cast<std::uint8_t>(stuck.device.eeprom[40] ^ 0x0F);
  stuck.device.stuckAddresses = {40};
  stuck.program();
  ASSERT_EQ(onlyResult(stuck.view).differences.size(), 1u);
  const ByteDifference& difference = onlyResult(stuck.view).differences[0];
  EXPECT_EQ(difference.address, 40);
  EXPECT_EQ(difference.device, stuck.device.eeprom[40]);
  EXPECT_EQ(difference.wanted, stuck.image.WriteImage[40]);

  LinkHarness noisy;
  noisy.device.noisyAnswer = 256 + 1;  // the second read of the receiver's serial number, high byte
  noisy.program();
  const Disturbance& disturbance = onlyResult(noisy.view).disturbance;
  EXPECT_EQ(onlyResult(noisy.view).ending, TransferEnding::DisturbedLine);
  EXPECT_EQ(disturbance.address, addr::kReceiverSerialHigh);
  EXPECT_EQ(disturbance.first, noisy.device.eeprom[addr::kReceiverSerialHigh]);
  EXPECT_EQ(disturbance.second, noisy.device.eeprom[addr::kReceiverSerialHigh] ^ 0xFF);

  LinkHarness refused;
  refused.device.eeprom[addr::kWriteProtect] = 0x01;
  refused.device.eeprom[addr::kFirmwareMajor] = 2;
  refused.program();
  EXPECT_EQ(onlyResult(refused.view).refusals, (std::vector<Refusal>{Refusal::Firmware, Refusal::WriteProtected}));
}

}  // namespace
}  // namespace lk24::test
