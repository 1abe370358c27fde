// The window timer behind the link's time-outs, on the real event loop.

#include "ui/QtLinkTimer.h"

#include <QTest>
#include <gtest/gtest.h>

namespace lk24::test {
namespace {

TEST(QtLinkTimer, ExpiresOnlyWhileEnabledAndStopsWhenItsHandlerSwitchesItOff) {
  QtLinkTimer timer;
  int expiries = 0;
  timer.setInterval(20);
  timer.setHandler([&] {
    ++expiries;
    timer.setEnabled(false);  // as both link timers do
  });
  QTest::qWait(60);
  EXPECT_EQ(expiries, 0);
  EXPECT_FALSE(timer.isEnabled());

  timer.setEnabled(true);
  EXPECT_TRUE(timer.isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return expiries == 1; }, 2000));
  QTest::qWait(60);
  EXPECT_EQ(expiries, 1);
  EXPECT_FALSE(timer.isEnabled());

  // Switched off before it is due: it never fires.
  timer.setEnabled(true);
  timer.setEnabled(false);
  QTest::qWait(60);
  EXPECT_EQ(expiries, 1);
  EXPECT_EQ(timer.interval(), 20);
}

}  // namespace
}  // namespace lk24::test
