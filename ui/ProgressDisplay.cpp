#include "ui/ProgressDisplay.h"

#include "ui/PieGauge.h"

#include <QLabel>

namespace lk24 {

ProgressDisplay::ProgressDisplay(QWidget* panel, PieGauge* gauge, QLabel* action, QObject* parent)
    : QObject(parent), panel_(panel), gauge_(gauge), action_(action) {
  frame_.setSingleShot(true);
  frame_.setInterval(kFrameMs);
  connect(&frame_, &QTimer::timeout, this, &ProgressDisplay::showPending);
}

void ProgressDisplay::setPanelVisible(bool visible) {
  if (panel_->isVisibleTo(panel_->parentWidget()) != visible) panel_->setVisible(visible);
}

void ProgressDisplay::setGaugeVisible(bool visible) {
  // A hidden gauge shows its last figure when it comes back; bring it up to date.
  if (!visible) showPending();
  gauge_->setVisible(visible);
}

void ProgressDisplay::setProgress(int percent) {
  pending_ = percent;
  if (percent <= 0 || percent >= 100) {
    showPending();
  } else if (!frame_.isActive()) {
    frame_.start();
  }
}

void ProgressDisplay::showPending() {
  frame_.stop();
  gauge_->setProgress(pending_);
}

void ProgressDisplay::setAction(const QString& text) {
  if (action_->text() != text) action_->setText(text);
}

}  // namespace lk24
