#pragma once
// The window's "Bericht drucken…": the platform's print dialog with a
// preview of the report on A4. Main thread, inside a QApplication.

#include "report/SettingsReport.h"

#include <functional>

class QDialog;
class QWidget;

namespace lk24 {

// Shows the preview through show (the window's modal seam) and prints from
// it when the user asks.
void previewReport(const ReportSubject& subject, QWidget* parent, const std::function<int(QDialog&)>& show);

}  // namespace lk24
