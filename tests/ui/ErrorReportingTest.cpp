// An exception escaping an event handler reaches the standard error display
// and the program goes on.

#include "serial/AfUtils.h"
#include "ui/ErrorReportingApplication.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace lk24::test {
namespace {

TEST(ErrorReportingTest, EscapingExceptionsAreShownAndCountAsUnhandled) {
  std::vector<std::string> shown;
  SetStandardErrorDisplay([&](const std::string& message) { shown.push_back(message); });

  EXPECT_TRUE(DeliverReportingErrors([] { return true; }));
  EXPECT_FALSE(DeliverReportingErrors([] { return false; }));
  EXPECT_TRUE(shown.empty());

  EXPECT_FALSE(DeliverReportingErrors([]() -> bool { throw std::runtime_error("Can't open device COM3"); }));
  EXPECT_FALSE(DeliverReportingErrors([]() -> bool { throw 42; }));
  SetStandardErrorDisplay({});
  EXPECT_EQ(shown, (std::vector<std::string>{"Can't open device COM3", "Unknown exception"}));
}

}  // namespace
}  // namespace lk24::test
