#pragma once
// A status bar of fixed panels with centred texts. Main thread only.

#include <QStatusBar>
#include <QString>

#include <vector>

class QLabel;

namespace lk24 {

class StatusPanels : public QStatusBar {
  Q_OBJECT
 public:
  // One panel per width; the last panel takes whatever room is left.
  StatusPanels(const std::vector<int>& widths, QWidget* parent = nullptr);

  int panelCount() const { return static_cast<int>(panels_.size()); }
  void setPanelText(int index, const QString& text);
  QString panelText(int index) const;
  void setPanelToolTip(int index, const QString& text);

 private:
  std::vector<QLabel*> panels_;
};

}  // namespace lk24
