#include "editor/DerivedTexts.h"

#include <gtest/gtest.h>

namespace lk24 {
namespace {

TEST(DerivedTexts, BatteryLifeEstimate) {
  EXPECT_EQ(batteryLifeText(5, 60, "0800"), " 230");
  EXPECT_EQ(batteryLifeText(10, 5, "0800"), "  31");
  EXPECT_EQ(batteryLifeText(0, 3600, "0800"), " 469");
  // (2500 + 20000) * 0.2 / 40 + 70 is exactly 182.5: the mean current
  // rounds down to 182, which gives 183 days rather than 182.
  EXPECT_EQ(batteryLifeText(5, 40, "0800"), " 183");
  EXPECT_EQ(batteryLifeText(5, 60, "0000"), "   0");
  EXPECT_EQ(batteryLifeText(0, 65535, "9999"), "5952");
}

TEST(DerivedTexts, BatteryLifeWithoutAnEstimate) {
  EXPECT_EQ(batteryLifeText(5, 0, "0800"), "----");
  EXPECT_EQ(batteryLifeText(5, 60, "abc"), "----");
  EXPECT_EQ(batteryLifeText(5, 60, ""), "----");
  EXPECT_EQ(batteryLifeText(5, 60, "08 "), "----");
}

TEST(DerivedTexts, MinutesAndFrequency) {
  EXPECT_EQ(minutesText(150), "(ca. 2 min)");
  EXPECT_EQ(minutesText(90), "(ca. 2 min)");
  EXPECT_EQ(minutesText(30), "(ca. 0 min)");
  EXPECT_EQ(minutesText(89), "(ca. 1 min)");
  EXPECT_EQ(minutesText(0), "(ca. 0 min)");
  EXPECT_EQ(minutesText(65535), "(ca. 1092 min)");

  EXPECT_EQ(frequencyText(100), "(ca. 1250 Hz)");
  EXPECT_EQ(frequencyText(255), "(ca. 490 Hz)");
  EXPECT_EQ(frequencyText(1), "(ca. 125000 Hz)");
  EXPECT_EQ(frequencyText(3), "(ca. 41667 Hz)");
  EXPECT_EQ(frequencyText(16), "(ca. 7812 Hz)");  // 7812.5
}

TEST(DerivedTexts, IdentityTexts) {
  EXPECT_EQ(firmwareText(1, 5), " 1.05");
  EXPECT_EQ(firmwareText(1, 0), " 1.00");
  EXPECT_EQ(firmwareText(12, 34), "12.34");
  EXPECT_EQ(firmwareText(255, 255), "255.255");
  EXPECT_EQ(serialText(123), "00123");
  EXPECT_EQ(serialText(65535), "65535");
}

}  // namespace
}  // namespace lk24
