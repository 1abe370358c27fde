#include "model/NumberText.h"

#include <gtest/gtest.h>

#include <string>

namespace lk24 {
namespace {

TEST(ParseInt32, AcceptsDecimalSignsBlanksAndHexForms) {
  const std::pair<const char*, std::int32_t> good[] = {
      {"0", 0},          {"255", 255},      {"300", 300},     {"   12", 12},
      {"+7", 7},         {"-1", -1},        {"  -128", -128}, {"007", 7},
      {"$1F", 31},       {"x1f", 31},       {"X10", 16},      {"0x10", 16},
      {"0X10", 16},      {"-$10", -16},     {"$FFFFFFFF", -1}, {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
  };
  for (const auto& [text, value] : good) {
    const auto parsed = parseInt32(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_EQ(*parsed, value) << text;
  }
}

TEST(ParseInt32, RejectsEmptyTrailingAndOutOfRange) {
  const char* bad[] = {
      "",          " ",           "12 ",        "12\t",      "1 2",    "abc",
      "-",         "+",           "$",          "0x",        "$G",     "2147483648",
      "-2147483649", "$100000000", "99999999999999999999999", "--1", "\x01" "5",
  };
  for (const char* text : bad) EXPECT_FALSE(parseInt32(text).has_value()) << '"' << text << '"';
}

TEST(ParseInt32, StopsEarlyOnHugeDigitRuns) {
  const std::string digits(1'000'000, '9');
  EXPECT_FALSE(parseInt32(digits).has_value());
  const std::string zeros = std::string(100'000, '0') + "42";
  EXPECT_EQ(parseInt32(zeros), 42);
}

}  // namespace
}  // namespace lk24
