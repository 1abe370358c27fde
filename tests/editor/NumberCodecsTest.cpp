#include "editor/NumberCodecs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace lk24 {
namespace {

TEST(NumberCodecs, PadsToWidthWithoutCutting) {
  EXPECT_EQ(setString(5, 0), "    0");
  EXPECT_EQ(setString(4, 230), " 230");
  EXPECT_EQ(setString(3, 65535), "65535");
  EXPECT_EQ(setString(5, -3), "   -3");
  EXPECT_EQ(fillString(5, '0', 123), "00123");
  EXPECT_EQ(fillString(3, '0', 7), "007");
  EXPECT_EQ(fillString(2, '0', 123), "123");
  EXPECT_EQ(fillString(0, '0', 0), "0");
}

struct TypedCase {
  const char* text;
  std::int64_t max;
  std::int64_t stored;
};

TEST(NumberCodecs, CheckinTakesWhatCanBeReadAndClampsIt) {
  const TypedCase cases[] = {
      {"abc", 65535, 0},
      {"70000", 65535, 65535},
      {"-3", 65535, 0},
      {"300", 255, 255},
      {"$1F", 255, 31},
      {"$1f", 255, 31},
      {"0x10", 255, 16},
      {"0X10", 255, 16},
      {"  12", 255, 12},
      {"12 ", 255, 0},          // the trailing blank makes the text invalid
      {"", 255, 0},
      {"   ", 255, 0},
      {"+42", 255, 42},
      {"-0", 255, 0},
      {"$", 255, 0},           // a prefix without digits
      {"0x", 255, 0},
      {"x10", 255, 0},         // only "$", "0x" and "0X" introduce hex
      {"1 2", 255, 0},
      {"12a", 255, 0},
      {"\t12", 255, 0},
      {"123456789012345678901", 65535, 0},  // beyond 64 bits
      {"9223372036854775807", 65535, 65535},
      {"9223372036854775808", 65535, 0},
      {"-9223372036854775808", 65535, 0},
      {"$7FFFFFFFFFFFFFFF", 9999, 9999},
      {"$FFFFFFFFFFFFFFFFF", 9999, 0},
      {"0800", 9999, 800},
      {"50", 9999, 50},
      {"-$10", 255, 0},
  };
  for (const TypedCase& c : cases) {
    EXPECT_EQ(checkin(c.text, c.max), c.stored) << "text \"" << c.text << "\"";
  }
}

TEST(NumberCodecs, ParseKeepsTheSignAndRejectsOverflow) {
  EXPECT_EQ(parseTypedNumber("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(parseTypedNumber(" -$10"), -16);
  EXPECT_FALSE(parseTypedNumber("-9223372036854775809").has_value());
  EXPECT_FALSE(parseTypedNumber("+").has_value());
  EXPECT_FALSE(parseTypedNumber("--1").has_value());
}

TEST(NumberCodecs, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(0.5), 0);
  EXPECT_EQ(roundHalfEven(1.5), 2);
  EXPECT_EQ(roundHalfEven(2.5), 2);
  EXPECT_EQ(roundHalfEven(182.5), 182);
  EXPECT_EQ(roundHalfEven(183.5), 184);
  EXPECT_EQ(roundHalfEven(1.4999), 1);
  EXPECT_EQ(roundHalfEven(1.5001), 2);
  EXPECT_EQ(roundHalfEven(-2.5), -2);
  EXPECT_EQ(roundHalfEven(-3.5), -4);
  EXPECT_EQ(roundHalfEven(7.0), 7);
}

}  // namespace
}  // namespace lk24
