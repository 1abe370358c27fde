#pragma once
// The progress panel as a transfer drives it: the panel, the pie gauge and
// the name of the pass. A transfer moves the gauge on every byte, far more
// often than anyone can see; painting each step would put a repaint between
// every answer and the next command. So the gauge is redrawn at most once a
// frame with the newest figure, and at once when a pass starts (0) or ends
// (100). Main thread only.

#include <QObject>
#include <QTimer>

class QLabel;
class QWidget;

namespace lk24 {

class PieGauge;

class ProgressDisplay : public QObject {
 public:
  static constexpr int kFrameMs = 40;

  ProgressDisplay(QWidget* panel, PieGauge* gauge, QLabel* action, QObject* parent = nullptr);

  void setPanelVisible(bool visible);
  void setGaugeVisible(bool visible);
  void setProgress(int percent);
  void setAction(const QString& text);

 private:
  void showPending();

  QWidget* panel_;
  PieGauge* gauge_;
  QLabel* action_;
  QTimer frame_;
  int pending_ = 0;
};

}  // namespace lk24
