#include "ui/SettingsWidgets.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace lk24 {

QValidator::State TypedLengthValidator::validate(QString& input, int& /*position*/) const {
  return input.size() <= std::max(limit_, currentLength_) ? Acceptable : Invalid;
}

void SettingsEdit::setTypedLimit(int limit) {
  auto* validator = new TypedLengthValidator(limit, this);
  validator->setCurrentLength(text().size());
  connect(this, &QLineEdit::textChanged, validator,
          [validator](const QString& now) { validator->setCurrentLength(now.size()); });
  setValidator(validator);
}

void SettingsEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (onClick) onClick();
}

void SettingsEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Switching to another application or opening a menu does not leave the
  // field; the value is taken when the focus moves on inside the window.
  const Qt::FocusReason reason = event->reason();
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  if (onExit) onExit();
}

void SettingsEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && onClick) onClick();
}

void SettingsEdit::keyReleaseEvent(QKeyEvent* event) {
  QLineEdit::keyReleaseEvent(event);
  if (!event->isAutoRepeat() && onKeyUp) onKeyUp(event->key());
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) onClick();
}

}  // namespace lk24
