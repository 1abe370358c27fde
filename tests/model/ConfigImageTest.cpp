#include "model/ConfigImage.h"

#include <gtest/gtest.h>

namespace lk24 {
namespace {

struct MergeCase {
  std::uint8_t andMask, orMask, factory, device, expected;
};

TEST(FilterUserData, KeepsUserBitsAndTakesOrClearsProtectedOnes) {
  const MergeCase cases[] = {
      {0xFF, 0x00, 0x00, 0xA5, 0xA5},  // all bits the user's
      {0xFF, 0xFF, 0x3C, 0xA5, 0xA5},  // OrMask has no effect on user bits
      {0x00, 0xFF, 0x5A, 0xA5, 0x5A},  // all bits from the factory image
      {0x00, 0x00, 0x5A, 0xA5, 0x00},  // protected and forced to 0
      {0xF0, 0x0F, 0x5A, 0xC3, 0xCA},  // high nibble user, low nibble factory
  };
  for (const auto& c : cases) {
    ConfigImage image;
    image.AndMask[7] = c.andMask;
    image.OrMask[7] = c.orMask;
    image.FactoryImage[7] = c.factory;
    image.DeviceImage[7] = c.device;
    image.FilterUserData();
    EXPECT_EQ(image.DeviceImage[7], c.expected) << "and " << int(c.andMask) << " or " << int(c.orMask);
  }
}

TEST(FilterUserData, AppliedTwiceEqualsOnce) {
  ConfigImage image;
  for (int i = 0; i < kImageSize; ++i) {
    image.AndMask[i] = static_cast<std::uint8_t>(i * 37);
    image.OrMask[i] = static_cast<std::uint8_t>(i * 91 + 5);
    image.FactoryImage[i] = static_cast<std::uint8_t>(255 - i);
    image.DeviceImage[i] = static_cast<std::uint8_t>(i * 13 + 1);
  }
  image.FilterUserData();
  const Table once = image.DeviceImage;
  image.FilterUserData();
  EXPECT_EQ(image.DeviceImage, once);
}

TEST(FilterUserData, TouchesOnlyTheDeviceImage) {
  ConfigImage image;
  image.ReadBuffer.fill(0x11);
  image.WriteImage.fill(0x22);
  image.FactoryImage.fill(0x33);
  image.FilterUserData();
  EXPECT_EQ(image.ReadBuffer[100], 0x11);
  EXPECT_EQ(image.WriteImage[100], 0x22);
  EXPECT_EQ(image.DeviceImage[100], 0x00);  // AndMask and OrMask are zero
}

TEST(EepromChecksum, SumsBytes0To238Only) {
  Table image{};
  EXPECT_EQ(calculatechecksum(image), 0x00);
  for (int i = 0; i <= 238; ++i) image[i] = 0x01;
  EXPECT_EQ(calculatechecksum(image), 0xEF);
  for (int i = 0; i <= 238; ++i) image[i] = 0xFF;
  EXPECT_EQ(calculatechecksum(image), 0x11);
  for (int i = 239; i < kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(calculatechecksum(image), 0x11);
}

TEST(ConfigImagePreset, DeviceImageOnesTemplateTablesZero) {
  ConfigImage image;
  image.AndMask.fill(9);
  image.presetForStartup();
  EXPECT_EQ(image.DeviceImage[0], 0x01);
  EXPECT_EQ(image.DeviceImage[255], 0x01);
  EXPECT_EQ(image.AndMask[10], 0x00);
  EXPECT_EQ(image.OrMask[10], 0x00);
  EXPECT_EQ(image.FactoryImage[10], 0x00);
}

}  // namespace
}  // namespace lk24
