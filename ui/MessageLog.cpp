#include "ui/MessageLog.h"

#include <QLocale>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>

namespace lk24 {

namespace {
void insertAtEnd(QTextEdit* edit, const QString& text, const QTextCharFormat& format) {
  QTextCursor cursor(edit->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text, format);
}
}  // namespace

void AddColoredString(QTextEdit* edit, const QString& text, const QColor& colour) {
  QTextCharFormat format;
  format.setForeground(colour);
  insertAtEnd(edit, text, format);
}

void SetCaretToEnd(QTextEdit* edit, bool scroll) {
  QTextCursor cursor = edit->textCursor();
  cursor.movePosition(QTextCursor::End);
  edit->setTextCursor(cursor);
  if (scroll) edit->ensureCursorVisible();
}

void AppendPlainLine(QTextEdit* edit, const QString& text) {
  insertAtEnd(edit, text + QLatin1Char('\n'), QTextCharFormat());
}

QString LogTimeText() { return LogTimeText(QTime::currentTime(), QLocale()); }

QString LogTimeText(const QTime& time, const QLocale& locale) {
  // Drop the zone fields ("t" outside quoted text) and the blanks around them.
  const QString format = locale.timeFormat(QLocale::LongFormat);
  QString withoutZone;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == QLatin1Char('\'')) quoted = !quoted;
    if (!quoted && c == QLatin1Char('t')) continue;
    withoutZone += c;
  }
  return locale.toString(time, withoutZone.simplified());
}

void AppendLogEntry(QTextEdit* edit, const QString& text, const QColor& colour, std::uint8_t style) {
  if (style & entry::kTimeLine) AddColoredString(edit, LogTimeText() + QLatin1Char('\n'), colour);
  AddColoredString(edit, text + QLatin1Char('\n'), colour);
  if (style & entry::kEmptyLine) AppendPlainLine(edit, QString());
  SetCaretToEnd(edit, true);
}

}  // namespace lk24
