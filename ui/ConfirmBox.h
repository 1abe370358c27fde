#pragma once
// The one message box the window opens itself: a Yes/No question. Reached
// through one function so tests answer it instead of a user. Main thread only.

#include <QString>

#include <functional>

class QWidget;

namespace lk24 {

// True only when the user answers Yes.
bool AskYesNo(QWidget* parent, const QString& question);
// Answers the box AskYesNo has open, if any, as Yes.
void AnswerOpenQuestionYes();
// Replaces the box; an empty function restores it.
void SetYesNoHandler(std::function<bool(const QString&)> handler);

}  // namespace lk24
