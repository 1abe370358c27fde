#include "cli/Verdict.h"

#include "cli/Output.h"
#include "cli/Report.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace lk24::cli {

namespace {

bool colourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) == 1 && !(noColour && *noColour);
}

// Single quotes keep every character but the quote itself.
QString shellQuoted(const QString& text) {
  QString inner = text;
  inner.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
  return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

// Writing began only after the backup was kept; a run that then failed
// left the device with part of the new image.
bool halfWritten(const Report& report) { return !passed(report) && !report.backupFile.isEmpty(); }

}  // namespace

bool passed(const Report& report) { return report.exitCode() == 0; }

QString deviceName(const Report& report) {
  if (!report.device) return QStringLiteral("unbekanntes Gerät");
  QString name = typeName(*report.device);
  if (report.device->serialNumber >= 0) name += QStringLiteral(" %1").arg(report.device->serialNumber, 5, 10, QLatin1Char('0'));
  return name;
}

QString restoreCommand(const QString& port, const QString& backup) {
  return QStringLiteral("lk24ctl restore --port %1 %2").arg(shellQuoted(port), shellQuoted(backup));
}

QString verdictLine(const Report& report) {
  if (passed(report)) {
    QString line = QStringLiteral("OK ") + deviceName(report) + QStringLiteral(": erfolgreich");
    if (!report.backupFile.isEmpty()) line += QStringLiteral(", Sicherung \"%1\"").arg(report.backupFile);
    return line;
  }
  QString line = QStringLiteral("FEHLER ") + deviceName(report) + QStringLiteral(": ") + report.message +
                 QStringLiteral(" (Exit-Status %1) – NICHT AUSLIEFERN").arg(report.exitCode());
  if (halfWritten(report)) {
    line += QStringLiteral("; teilweise beschrieben, zurück mit: ") + restoreCommand(report.portGiven, report.backupFile);
  }
  return line;
}

void printVerdict(const Report& report) {
  const QString line = verdictLine(report);
  if (!colourWanted()) {
    printOut(line);
  } else {
    const char* colour = passed(report) ? "\033[1;32m" : "\033[1;31m";
    printOut(QString::fromLatin1(colour) + line + QStringLiteral("\033[0m"));
  }
  // The bell calls the operator back to a failed device.
  if (!passed(report) && ::isatty(STDERR_FILENO) == 1) {
    std::fputc('\a', stderr);
    std::fflush(stderr);
  }
}

}  // namespace lk24::cli
