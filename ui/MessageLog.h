#pragma once
// The message log: a read-only rich-text box in which every character keeps
// its own colour. All messages to the user end up here. Main thread only.

#include "ui/DesignPalette.h"

#include <QColor>
#include <QString>

#include <cstdint>

class QLocale;
class QTextEdit;
class QTime;

namespace lk24 {

inline const QColor clBlack(0, 0, 0);
inline const QColor clRed = kDesignRed;

// Bits of a log entry's style.
namespace entry {
constexpr std::uint8_t kTimeLine = 1;   // a time-of-day line before the text
constexpr std::uint8_t kEmptyLine = 2;  // an empty line after the text

// The four kinds of entry the window writes.
constexpr std::uint8_t kError = kTimeLine | kEmptyLine;    // red
constexpr std::uint8_t kSuccess = kTimeLine;               // black
constexpr std::uint8_t kInfo = kTimeLine | kEmptyLine;     // black
constexpr std::uint8_t kNote = kEmptyLine;                 // red
}  // namespace entry

// Appends text in colour at the very end of the box, whatever the caret did.
void AddColoredString(QTextEdit* edit, const QString& text, const QColor& colour);
// Drops any selection with the caret at the end; with scroll, brings it into view.
void SetCaretToEnd(QTextEdit* edit, bool scroll);
// Appends one uncoloured line (text and a line end) at the end of the box.
void AppendPlainLine(QTextEdit* edit, const QString& text);
// One log entry: optional time line, the text, optional empty line, then
// the view follows the end.
void AppendLogEntry(QTextEdit* edit, const QString& text, const QColor& colour, std::uint8_t style);
// The time of day as the time line shows it: the locale's long time format
// (its order, its separators, AM/PM where it uses them) without the time zone.
QString LogTimeText();
QString LogTimeText(const QTime& time, const QLocale& locale);

}  // namespace lk24
