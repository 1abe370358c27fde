#include "ui/StatusPanels.h"

#include <QLabel>

namespace lk24 {

StatusPanels::StatusPanels(const std::vector<int>& widths, QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QStringLiteral("Panel%1").arg(i));
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const bool last = i + 1 == widths.size();
    if (last) {
      panel->setMinimumWidth(widths[i]);
      addWidget(panel, 1);
    } else {
      panel->setFixedWidth(widths[i]);
      addWidget(panel);
    }
    panels_.push_back(panel);
  }
}

void StatusPanels::setPanelText(int index, const QString& text) {
  if (index < 0 || index >= panelCount()) return;
  panels_[static_cast<std::size_t>(index)]->setText(text);
}

QString StatusPanels::panelText(int index) const {
  if (index < 0 || index >= panelCount()) return QString();
  return panels_[static_cast<std::size_t>(index)]->text();
}

void StatusPanels::setPanelToolTip(int index, const QString& text) {
  if (index >= 0 && index < panelCount()) panels_[static_cast<std::size_t>(index)]->setToolTip(text);
}

}  // namespace lk24
