// The firmware range the tool supports, read from the image.

#include "editor/DeviceIdentity.h"

#include <gtest/gtest.h>

namespace lk24 {
namespace {

TEST(DeviceIdentity, FirmwareRangeIsOnePointZeroToOnePointNineteen) {
  struct Case {
    int major, minor;
    bool supported;
  };
  for (const Case c : {Case{1, 0, true}, Case{1, 19, true}, Case{1, 20, false}, Case{0, 255, false},
                       Case{2, 0, false}, Case{0, 0, false}, Case{255, 255, false}}) {
    Table image{};
    image[addr::kFirmwareMajor] = static_cast<std::uint8_t>(c.major);
    image[addr::kFirmwareMinor] = static_cast<std::uint8_t>(c.minor);
    EXPECT_EQ(firmwareSupported(image), c.supported) << c.major << "." << c.minor;
  }
}

}  // namespace
}  // namespace lk24
