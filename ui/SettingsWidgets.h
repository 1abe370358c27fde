#pragma once
// Small widgets of the settings pages: an edit field that reports click,
// focus, leaving and key release as the settings handlers expect them, and
// a caption that can be clicked. Main thread only.

#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include <functional>

namespace lk24 {

// Limits what the user may type to a number of characters without cutting
// what the program shows: a shown value wider than the limit stays whole and
// may be shortened, but no edit makes the text longer than the limit or, if
// it already is, longer than it is.
class TypedLengthValidator : public QValidator {
 public:
  TypedLengthValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
  State validate(QString& input, int& position) const override;
  void setCurrentLength(qsizetype length) { currentLength_ = length; }

 private:
  qsizetype limit_;
  qsizetype currentLength_ = 0;
};

class SettingsEdit : public QLineEdit {
 public:
  explicit SettingsEdit(QWidget* parent) : QLineEdit(parent) {}

  // At most limit characters typed; unlike setMaxLength, setText stays whole.
  void setTypedLimit(int limit);

  std::function<void()> onClick;       // click into the field, or focus received
  std::function<void()> onExit;        // focus moved elsewhere inside the window
  std::function<void(int)> onKeyUp;    // Qt key code of a released key

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
};

class ClickableLabel : public QLabel {
 public:
  explicit ClickableLabel(QWidget* parent) : QLabel(parent) {}

  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace lk24
