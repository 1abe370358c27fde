#include "cli/ReportPdfWriter.h"

#include "cli/SettingsCommands.h"
#include "report/SettingsReport.h"

#include <QDateTime>
#include <QGuiApplication>

namespace lk24::cli {

void installReportPdfWriter() {
  setReportWriter([](const Table& image, const QString& source, const QString& path, QString* error) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "lk24ctl";
    char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);
    return writeReportPdf({image, source, QDateTime::currentDateTime()}, path, error);
  });
}

}  // namespace lk24::cli
