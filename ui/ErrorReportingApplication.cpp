#include "ui/ErrorReportingApplication.h"

#include "serial/AfUtils.h"

#include <QMessageBox>

#include <exception>

namespace lk24 {

bool DeliverReportingErrors(const std::function<bool()>& deliver) {
  try {
    return deliver();
  } catch (const std::exception& error) {
    ShowStandardError(error.what());
  } catch (...) {
    ShowStandardError("Unknown exception");
  }
  return false;
}

ErrorReportingApplication::ErrorReportingApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ErrorReportingApplication::notify(QObject* receiver, QEvent* event) {
  return DeliverReportingErrors([&] { return QApplication::notify(receiver, event); });
}

void InstallStandardErrorBox() {
  SetStandardErrorDisplay([](const std::string& message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                          QString::fromStdString(message));
  });
  SetWaitCursorDisplay([](bool busy) {
    if (busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}

}  // namespace lk24
