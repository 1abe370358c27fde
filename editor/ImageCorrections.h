#pragma once
// The fixed corrections every refresh of the settings applies to the device
// image, so that a following program run or file save carries sane values.

#include "model/ConfigImage.h"

namespace lk24 {

// Addresses the corrections read and write.
namespace addr {
constexpr int kAlarmTonePeriod = 21;
constexpr int kDistanceThreshold = 30;
constexpr int kTransmitIntervalHigh = 88;   // 88, 89: transmit interval in seconds
constexpr int kTransmitIntervalLow = 89;
constexpr int kLedBrightness = 90;
constexpr int kTransmitterBitCount = 180;
constexpr int kArbitraryPause = 185;        // 185, 186
constexpr int kEmergencyArbitraryPause = 210;  // 210, 211
constexpr int kTransmitterOptions = 233;    // bit 0: 868,30 MHz; bit 2: derive the pauses
}  // namespace addr

// The smallest transmit interval the 868,30 MHz band's duty cycle allows.
constexpr int kMinimumInterval868 = 5;

// Applies the seven corrections in their order. None of them reads a byte
// another one writes, so applying them all before the controls are written
// gives the same image and the same texts as applying each at its step.
// Returns true when the transmit interval had to be raised for 868,30 MHz:
// the caller beeps once for it and logs nothing.
bool applyImageCorrections(Table& image);

// Correction 6 alone: while byte 233 bit 2 is set, the two arbitrary pauses
// follow from the low four bits of the transmitter's serial number. A program
// run applies it again once the device's own serial number is in place.
void derivePausesFromSerialNumber(Table& image);

}  // namespace lk24
