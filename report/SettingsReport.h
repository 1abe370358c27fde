#pragma once
// The printable record of a configuration: a title with the device's type,
// serial number and firmware, the configuration's source and the time it
// was made, then every setting by page with caption, value and unit, in the
// window's face, on A4 pages numbered in the footer. The window prints it
// and saves it as PDF; lk24ctl report writes the same PDF. Main thread,
// inside a QGuiApplication (the layout needs fonts).

#include "model/ConfigImage.h"

#include <QDateTime>
#include <QString>

#include <memory>

class QPagedPaintDevice;
class QTextDocument;

namespace lk24 {

struct ReportSubject {
  Table image{};
  QString source;    // the configuration file's name, or the port it was read from; may be empty
  QDateTime madeAt;  // when the report is made
};

std::unique_ptr<QTextDocument> reportDocument(const ReportSubject& subject);

// Lays the document out on device's pages (A4 once prepareReportPage has
// run) and paints each with "Seite N von M" in its footer.
void prepareReportPage(QPagedPaintDevice& device);
void printReport(QTextDocument& document, QPagedPaintDevice& device);

// Writes the report to path as a PDF, in place of any file there only once
// it is complete; false with the reason, in German, in error.
bool writeReportPdf(const ReportSubject& subject, const QString& path, QString* error);

}  // namespace lk24
