#include "cli/ProductionLoop.h"

#include "cli/CommandView.h"
#include "cli/InterruptWatch.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "cli/PresenceProbe.h"
#include "cli/ProgramRun.h"
#include "cli/ProgressLine.h"
#include "cli/Report.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace lk24::cli {

namespace {

constexpr int kProbeIntervalMs = 500;  // about twice a second

bool interrupted(const InterruptWatch* interrupts) { return interrupts && interrupts->requested(); }

// Lets the event loop run until ms have passed since clock started, or an interrupt.
void waitOut(const QElapsedTimer& clock, int ms, const InterruptWatch* interrupts) {
  QTimer heartbeat;
  heartbeat.start(20);
  while (clock.elapsed() < ms && !interrupted(interrupts)) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

// False when interrupted first.
bool waitUntilAnswering(std::uint16_t comNumber, bool answering, const InterruptWatch* interrupts) {
  while (!interrupted(interrupts)) {
    QElapsedTimer clock;
    clock.start();
    if (deviceAnswers(comNumber) == answering) return true;
    waitOut(clock, kProbeIntervalMs, interrupts);
  }
  return false;
}

QString deviceLine(const Report& report) {
  QString who = QStringLiteral("unbekanntes Gerät");
  if (report.device) {
    who = typeName(*report.device);
    if (report.device->serialNumber >= 0) {
      who += QStringLiteral(" %1").arg(report.device->serialNumber, 5, 10, QLatin1Char('0'));
    }
  }
  QString line = who + QStringLiteral(": ");
  line += report.exitCode() == 0 ? QStringLiteral("erfolgreich")
                                 : report.message + QStringLiteral(" (Exit-Status %1)").arg(report.exitCode());
  if (!report.backupFile.isEmpty()) line += QStringLiteral(", Sicherung \"%1\"").arg(report.backupFile);
  return line;
}

}  // namespace

int runProductionLoop(const ConfigImage& templateImage, const Table& file, const PortChoice& port,
                      const QString& templatePath, bool json, const InterruptWatch* interrupts,
                      ProgressLine& progress) {
  int result = 0;
  while (true) {
    if (!json) printErr(QStringLiteral("Warte auf das nächste Gerät an %1 ...").arg(port.given));
    if (!waitUntilAnswering(port.number, true, interrupts)) break;

    ConfigImage image = templateImage;  // every device starts from the file
    CommandView view(image, &progress);
    Report report;
    report.command = QStringLiteral("program");
    report.portGiven = port.given;
    report.portDevice = port.device;
    programDevice(image, file, port, templatePath, interrupts, view, report);
    progress.clear();
    printOut(json ? QString::fromUtf8(toJson(report)) : deviceLine(report));
    if (report.exitCode() != 0 && !report.interruptedBy) result = report.exitCode();
    if (interrupted(interrupts)) break;

    if (!json) printErr(QStringLiteral("Fertig; bitte das Gerät abziehen."));
    if (!waitUntilAnswering(port.number, false, interrupts)) break;
  }
  return result;
}

}  // namespace lk24::cli
