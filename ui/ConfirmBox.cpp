#include "ui/ConfirmBox.h"

#include <QMessageBox>
#include <QPointer>

namespace lk24 {

namespace {
std::function<bool(const QString&)>& yesNoHandler() {
  static std::function<bool(const QString&)> handler;
  return handler;
}

QPointer<QMessageBox>& openBox() {
  static QPointer<QMessageBox> box;
  return box;
}
}  // namespace

bool AskYesNo(QWidget* parent, const QString& question) {
  if (yesNoHandler()) return yesNoHandler()(question);
  QMessageBox box(QMessageBox::Question, QString(), question, QMessageBox::Yes | QMessageBox::No, parent);
  openBox() = &box;
  const int answer = box.exec();
  openBox() = nullptr;
  return answer == QMessageBox::Yes;
}

void AnswerOpenQuestionYes() {
  if (openBox()) openBox()->done(QMessageBox::Yes);
}

void SetYesNoHandler(std::function<bool(const QString&)> handler) { yesNoHandler() = std::move(handler); }

}  // namespace lk24
