#include "cli/commands/ReportPdfWriter.h"

#include "cli/commands/SettingsCommands.h"
#include "report/SettingsReport.h"

#include <QDateTime>
#include <QGuiApplication>

namespace lk24::cli {

void installReportPdfWriter() {
  setReportWriter([](const Table& image, const std::string& source, const std::string& path, std::string* error) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "lk24ctl";
    char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);
    QString failure;
    const bool written = writeReportPdf({image, QString::fromStdString(source), QDateTime::currentDateTime()},
                                        QString::fromStdString(path), &failure);
    *error = failure.toStdString();
    return written;
  });
}

}  // namespace lk24::cli
