// lk24ctl report: the printable report of a file or a device as a PDF.
#include "cli/SettingsCommands.h"

#include "cli/Output.h"
#include "cli/SettingsImages.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lk24::cli {

namespace {

ReportWriter& writer() {
  static ReportWriter installed;
  return installed;
}

}  // namespace

void setReportWriter(ReportWriter w) { writer() = std::move(w); }

int runReport(const Arguments& arguments, const InterruptWatch* interrupts) {
  if (!writer()) {
    printErr(QStringLiteral("lk24ctl: report: dieses lk24ctl kann keine Berichte schreiben"));
    return code(ExitStatus::Usage);
  }
  const SettingsImages loaded = loadSettingsImages(arguments, interrupts);
  if (!loaded.message.isEmpty()) printErr(QStringLiteral("lk24ctl: ") + loaded.message);
  if (loaded.exitCode != 0) return loaded.exitCode;
  const NamedImage& source = loaded.images.front();
  QString error;
  if (!writer()(source.image, source.name, arguments.output, &error)) {
    printErr(QStringLiteral("lk24ctl: ") + error);
    return code(ExitStatus::FileUnusable);
  }
  if (arguments.json) {
    const QJsonObject document{{QStringLiteral("schema"), kJsonSchema},
                               {QStringLiteral("tool"), toolVersion()},
                               {QStringLiteral("command"), QStringLiteral("report")},
                               {QStringLiteral("source"), source.name},
                               {QStringLiteral("outputFile"), arguments.output}};
    printOut(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Compact)));
  } else {
    printOut(QStringLiteral("Bericht gespeichert unter \"%1\"").arg(arguments.output));
  }
  return loaded.finalCode(ExitStatus::Success);
}

}  // namespace lk24::cli
