// The progress display during a transfer: the gauge follows every pass and
// shows its end, but is repainted at most once a frame, so no repaint sits
// between each answer of the device and the next command.

#include "link/DeviceLink.h"
#include "ui/PieGauge.h"
#include "ui/ProgressDisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace lk24 {
namespace {

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return QObject::eventFilter(watched, event);
  }
};

struct Panel {
  Panel() {
    panel.resize(241, 73);
    gauge.setGeometry(8, 7, 97, 60);
    action.setGeometry(136, 27, 100, 24);
    panel.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
  }
  QWidget panel;
  PieGauge gauge{&panel};
  QLabel action{&panel};
  ProgressDisplay display{&panel, &gauge, &action};
};

TEST(ProgressDisplayTest, APassRepaintsTheGaugeOnceAFrameAndShowsItsEndAtOnce) {
  Panel p;
  p.display.setGaugeVisible(true);
  p.display.setProgress(0);
  QApplication::processEvents();
  PaintCounter paints(p.gauge);

  QElapsedTimer timer;
  timer.start();
  for (int pos = 0; pos <= 255; ++pos) {
    p.display.setAction(QStringLiteral("read"));
    p.display.setProgress(gaugePercent(pos, 255));
    QApplication::processEvents();  // the event loop turns between two bytes
  }
  const qint64 frames = timer.elapsed() / ProgressDisplay::kFrameMs;
  EXPECT_EQ(p.gauge.progress(), 100) << "the end of a pass shows at once";
  EXPECT_EQ(p.action.text(), QStringLiteral("read"));
  EXPECT_LE(paints.count, frames + 2) << "100 steps in " << timer.elapsed() << " ms";
}

TEST(ProgressDisplayTest, AStepShowsWithinAFrameAndHidingShowsTheLastOne) {
  Panel p;
  p.display.setGaugeVisible(true);
  p.display.setProgress(37);
  EXPECT_TRUE(QTest::qWaitFor([&] { return p.gauge.progress() == 37; }, 20 * ProgressDisplay::kFrameMs));

  p.display.setProgress(38);
  p.display.setGaugeVisible(false);
  EXPECT_EQ(p.gauge.progress(), 38);
  EXPECT_FALSE(p.gauge.isVisibleTo(&p.panel));
}

}  // namespace
}  // namespace lk24
