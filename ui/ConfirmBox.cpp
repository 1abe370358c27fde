#include "ui/ConfirmBox.h"

#include <QMessageBox>

namespace lk24 {

namespace {
std::function<bool(const QString&)>& yesNoHandler() {
  static std::function<bool(const QString&)> handler;
  return handler;
}
}  // namespace

bool AskYesNo(QWidget* parent, const QString& question) {
  if (yesNoHandler()) return yesNoHandler()(question);
  return QMessageBox::question(parent, QString(), question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void SetYesNoHandler(std::function<bool(const QString&)> handler) { yesNoHandler() = std::move(handler); }

}  // namespace lk24
