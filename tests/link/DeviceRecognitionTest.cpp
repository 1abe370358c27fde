// The read pass recognises the device from its type byte, and clears what it
// recognised before as soon as a new read begins.

#include "LinkHarness.h"
#include "link/LinkTexts.h"

#include <gtest/gtest.h>

#include <vector>

namespace lk24::test {
namespace {

TEST(DeviceRecognition, ReadRecognisesTransmitterReceiverOrNeither) {
  struct Case {
    int type;
    std::vector<std::string> lines;
    DeviceHighlight highlight;
    bool transmitter, receiver;
  };
  const std::vector<Case> cases{
      {10, {linktext::transmitterRecognised(), std::string()}, DeviceHighlight::Transmitter, true, false},
      {20, {linktext::receiverRecognised(), std::string()}, DeviceHighlight::Receiver, false, true},
      {30, {std::string()}, DeviceHighlight::None, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    LinkHarness h;
    h.read();  // a receiver first, so that a later read must clear its flag and frame
    ASSERT_TRUE(h.link->ReceiverDetected());
    h.view.clearLog();
    h.device.eeprom = deviceImage(c.type);
    h.read();
    EXPECT_EQ(h.view.plainLines, c.lines);
    EXPECT_EQ(h.view.highlight, c.highlight);
    EXPECT_EQ(h.link->TransmitterDetected(), c.transmitter);
    EXPECT_EQ(h.link->ReceiverDetected(), c.receiver);
    EXPECT_EQ(h.view.scrolls, 2);
  }
}

TEST(DeviceRecognition, ReadPassClearsTheFlagsFromItsFirstByte) {
  LinkHarness h;
  h.read();
  ASSERT_TRUE(h.link->ReceiverDetected());
  h.device.stopAfter = h.device.answered + 1;
  h.read();
  EXPECT_FALSE(h.link->ReceiverDetected());
  EXPECT_FALSE(h.link->TransmitterDetected());
}

}  // namespace
}  // namespace lk24::test
