#include "editor/ImageCorrections.h"

namespace lk24 {

namespace {

int wordAt(const Table& image, int address) { return image[address] * 256 + image[address + 1]; }

void storeWord(Table& image, int address, int value) {
  image[address] = static_cast<std::uint8_t>(value / 256);
  image[address + 1] = static_cast<std::uint8_t>(value % 256);
}

void limitAbove(Table& image, int address, std::uint8_t max) {
  if (image[address] > max) image[address] = max;
}

void raiseZeroToOne(Table& image, int address) {
  if (image[address] == 0) image[address] = 1;
}

}  // namespace

bool applyImageCorrections(Table& image) {
  // 1: the distance threshold counts 1..10.
  raiseZeroToOne(image, addr::kDistanceThreshold);
  limitAbove(image, addr::kDistanceThreshold, 10);

  // 2: a tone period of 0 would divide by zero in the receiver.
  raiseZeroToOne(image, addr::kAlarmTonePeriod);

  // 3: the 868,30 MHz band needs an interval of at least five seconds.
  bool raisedInterval = false;
  const bool band868 = (image[addr::kTransmitterOptions] & 0x01) != 0;
  if (band868 && wordAt(image, addr::kTransmitIntervalHigh) < kMinimumInterval868) {
    storeWord(image, addr::kTransmitIntervalHigh, kMinimumInterval868);
    raisedInterval = true;
  }

  // 4 and 5: the transmitter's own limits.
  limitAbove(image, addr::kLedBrightness, 10);
  limitAbove(image, addr::kTransmitterBitCount, 64);

  derivePausesFromSerialNumber(image);  // 6

  // 7: the tool's own version stamp, 1.00.
  image[addr::kVersionMajor] = 1;
  image[addr::kVersionMinor] = 0;
  return raisedInterval;
}

void derivePausesFromSerialNumber(Table& image) {
  // Transmitters with different serial numbers get different pauses, so two
  // of them never keep colliding on the air.
  if ((image[addr::kTransmitterOptions] & 0x04) == 0) return;
  const int n = image[addr::kTransmitterSerialLow] % 16;
  storeWord(image, addr::kArbitraryPause, 25 + 4 * n);
  storeWord(image, addr::kEmergencyArbitraryPause, 200 + 8 * n);
}

}  // namespace lk24
