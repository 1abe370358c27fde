#pragma once
// Runs the main thread's event loop until a condition holds or a deadline
// passes. Unlike QTest::qWaitFor it does not sleep between rounds, so every
// byte's hand-over from the port's event thread is served at once and a
// transfer runs at its real speed.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace lk24::test {

// The longest the loop went without a turn during the last waitUntil. The
// heartbeat wakes it every 20 ms, so a much longer gap means the machine held
// the process back, e.g. long enough to break the device's 200 ms rhythm.
inline qint64& longestStallMs() {
  static qint64 value = 0;
  return value;
}

template <typename Condition>
bool waitUntil(Condition done, int timeoutMs) {
  QTimer heartbeat;  // wakes the loop now and then to look at the clock
  heartbeat.start(20);
  QElapsedTimer clock;
  clock.start();
  qint64 lastTurn = 0;
  longestStallMs() = 0;
  while (!done()) {
    const qint64 now = clock.elapsed();
    longestStallMs() = std::max(longestStallMs(), now - lastTurn);
    lastTurn = now;
    if (now > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace lk24::test
