#pragma once
// Runs the main thread's event loop until a condition holds or a deadline
// passes. Unlike QTest::qWaitFor it does not sleep between rounds, so every
// byte's hand-over from the port's event thread is served at once and a
// transfer runs at its real speed.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace lk24::test {

template <typename Condition>
bool waitUntil(Condition done, int timeoutMs) {
  QTimer heartbeat;  // wakes the loop now and then to look at the clock
  heartbeat.start(20);
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace lk24::test
