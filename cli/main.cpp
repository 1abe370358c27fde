// lk24ctl: read, program and verify LK24 devices from a shell, with the
// window's own transfer code underneath.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/InterruptWatch.h"
#include "cli/Output.h"
#include "cli/Report.h"
#include "cli/SettingsCommands.h"
#include "report/SettingsReport.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

namespace {

// Only the report lays text out, which takes fonts and so a QGuiApplication
// (on the offscreen platform: lk24ctl never shows a window).
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "report") == 0) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      return std::make_unique<QGuiApplication>(argc, argv);
    }
  }
  return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
  using namespace lk24::cli;
  setReportWriter([](const lk24::Table& image, const QString& source, const QString& path, QString* error) {
    return lk24::writeReportPdf({image, source, QDateTime::currentDateTime()}, path, error);
  });
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  const ParsedArguments parsed = parseArguments(args);
  if (!parsed.arguments) {
    // A script that asked for JSON gets its one document here too.
    if (parsed.json) {
      Report usage;
      usage.command = parsed.commandName;
      usage.status = ExitStatus::Usage;
      usage.message = parsed.error;
      printOut(QString::fromUtf8(toJson(usage)));
    }
    printErr(QStringLiteral("lk24ctl: ") + parsed.error);
    printErr(parsed.commandName.isEmpty() ? QStringLiteral("\"lk24ctl --help\" zeigt den Aufruf.")
                                          : QStringLiteral("\"lk24ctl help %1\" zeigt den Aufruf.").arg(parsed.commandName));
    return code(ExitStatus::Usage);
  }
  InterruptWatch interrupts;
  return runCommand(*parsed.arguments, &interrupts);
}
