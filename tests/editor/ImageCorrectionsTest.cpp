#include "editor/ImageCorrections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace lk24 {
namespace {

Table imageFilledWith(std::uint8_t value) {
  Table image{};
  image.fill(value);
  return image;
}

TEST(ImageCorrections, RaisesTheIntervalOnlyFor868MHz) {
  Table image = imageFilledWith(0);
  image[233] = 0x01;
  image[89] = 3;
  EXPECT_TRUE(applyImageCorrections(image));
  EXPECT_EQ(image[88], 0);
  EXPECT_EQ(image[89], 5);
  EXPECT_FALSE(applyImageCorrections(image)) << "a corrected image needs no second beep";

  Table band433 = imageFilledWith(0);
  band433[89] = 3;
  EXPECT_FALSE(applyImageCorrections(band433));
  EXPECT_EQ(band433[89], 3);

  Table longInterval = imageFilledWith(0);
  longInterval[233] = 0x01;
  longInterval[88] = 1;  // 256 s: the low byte alone is below 5, the word is not
  longInterval[89] = 0;
  EXPECT_FALSE(applyImageCorrections(longInterval));
  EXPECT_EQ(longInterval[88], 1);
  EXPECT_EQ(longInterval[89], 0);
}

TEST(ImageCorrections, DerivesThePausesFromTheSerialNumber) {
  Table image = imageFilledWith(0);
  image[233] = 0x04;
  image[235] = 0x2B;  // n = 11
  applyImageCorrections(image);
  EXPECT_EQ(image[185] * 256 + image[186], 69);
  EXPECT_EQ(image[210], 1);
  EXPECT_EQ(image[211], 32);

  image[234] = 0x12;
  image[235] = 0x34;  // n = 4
  applyImageCorrections(image);
  EXPECT_EQ(image[185] * 256 + image[186], 41);
  EXPECT_EQ(image[210] * 256 + image[211], 232);

  Table untouched = imageFilledWith(0x77);
  untouched[233] = 0xFB;  // every option bit but the derivation
  applyImageCorrections(untouched);
  EXPECT_EQ(untouched[185], 0x77);
  EXPECT_EQ(untouched[211], 0x77);
}

TEST(ImageCorrections, LimitsAndVersionStamp) {
  Table low = imageFilledWith(0);
  applyImageCorrections(low);
  EXPECT_EQ(low[30], 1);  // threshold 0
  EXPECT_EQ(low[21], 1);  // tone period 0
  EXPECT_EQ(low[90], 0);
  EXPECT_EQ(low[180], 0);
  EXPECT_EQ(low[1], 1);
  EXPECT_EQ(low[2], 0);

  Table high = imageFilledWith(200);
  high[233] = 0;
  applyImageCorrections(high);
  EXPECT_EQ(high[30], 10);
  EXPECT_EQ(high[21], 200);
  EXPECT_EQ(high[90], 10);
  EXPECT_EQ(high[180], 64);
  EXPECT_EQ(high[1], 1);
  EXPECT_EQ(high[2], 0);
}

TEST(ImageCorrections, ChangeNoOtherByteAndSettleAfterOnePass) {
  for (int seed = 0; seed < 256; seed += 17) {
    Table image{};
    for (int a = 0; a < kImageSize; ++a) image[a] = static_cast<std::uint8_t>(a * 31 + seed);
    image[233] = static_cast<std::uint8_t>(seed);
    const Table before = image;
    applyImageCorrections(image);
    const int changeable[] = {1, 2, 21, 30, 88, 89, 90, 180, 185, 186, 210, 211};
    for (int a = 0; a < kImageSize; ++a) {
      if (std::find(std::begin(changeable), std::end(changeable), a) != std::end(changeable)) continue;
      EXPECT_EQ(image[a], before[a]) << "address " << a;
    }
    const Table once = image;
    EXPECT_FALSE(applyImageCorrections(image));
    EXPECT_EQ(image, once);
  }
}

}  // namespace
}  // namespace lk24
