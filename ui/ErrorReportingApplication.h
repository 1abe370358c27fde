#pragma once
// The application object. An exception that escapes an event handler is
// shown by the standard error display, and the program goes on with the next
// event instead of ending. Main thread only.

#include <QApplication>

#include <functional>

namespace lk24 {

// Runs deliver(); an exception that escapes it is shown by the standard
// error display and counts as an event nobody handled (false).
bool DeliverReportingErrors(const std::function<bool()>& deliver);

class ErrorReportingApplication : public QApplication {
  Q_OBJECT
 public:
  ErrorReportingApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

// The standard error display of this program: a critical message box.
void InstallStandardErrorBox();

}  // namespace lk24
