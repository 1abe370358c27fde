// Logout and shutdown as Windows asks a window program (needs the qwindows
// platform: the messages are sent to the program's real top-level windows).
#include "ui/SessionEndWatch.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <windows.h>

namespace lk24 {
namespace {

struct SessionEndWatchWin32 : ::testing::Test {
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("windows")) GTEST_SKIP() << "needs the qwindows platform, not " << QGuiApplication::platformName().toStdString();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  LRESULT send(UINT message, WPARAM wParam) {
    return SendMessageW(reinterpret_cast<HWND>(window.winId()), message, wParam, ENDSESSION_LOGOFF);
  }

  QWidget window;
  int ends = 0;
  bool transferRunning = false;
  SessionEndWatch watch{[this] { ++ends; }, [this] { return transferRunning; }};
};

TEST_F(SessionEndWatchWin32, ATransferHoldsTheSessionAndClosesTheWindowWhenItEnds) {
  transferRunning = true;
  EXPECT_EQ(send(WM_QUERYENDSESSION, 0), FALSE);  // held
  EXPECT_EQ(ends, 0);                             // asked for on the main thread, after the answer
  QTest::qWait(50);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(send(WM_QUERYENDSESSION, 0), FALSE);  // held again while it runs
}

TEST_F(SessionEndWatchWin32, IdleTheSessionMayEndAndTheWindowClosesBeforeTheProcessIsEnded) {
  EXPECT_NE(send(WM_QUERYENDSESSION, 0), FALSE);
  EXPECT_EQ(ends, 0);
  send(WM_ENDSESSION, TRUE);
  EXPECT_EQ(ends, 1);  // at once: Windows may end the process when the message returns
  send(WM_ENDSESSION, FALSE);  // another program refused: nothing to do
  QTest::qWait(50);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace lk24
