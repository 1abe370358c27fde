#include "cli/ProgramRun.h"

#include "cli/CommandView.h"
#include "cli/DeviceSession.h"
#include "cli/InterruptWatch.h"
#include "cli/Outcome.h"
#include "cli/PortChoice.h"

namespace lk24::cli {

void programDevice(ConfigImage& image, const Table& file, const PortChoice& port, const QString& templatePath,
                   const InterruptWatch* interrupts, CommandView& view, Report& report) {
  image.DeviceImage = file;
  view.showdata();  // the load's refresh; the run refreshes once more itself
  DeviceSession session(image, view, port.number, interrupts, templatePath);
  const bool finished = session.program();
  reportProgramRun(session, finished, image, port, interrupts, view, report);
}

void reportProgramRun(const DeviceSession& session, bool finished, const ConfigImage& image, const PortChoice& port,
                      const InterruptWatch* interrupts, const CommandView& view, Report& report) {
  report.log = view.log();
  report.backupFile = session.backupFile();
  if (view.readPassCompleted()) report.device = factsOf(image.ReadBuffer);
  if (!finished) {
    report.interruptedBy = interrupts ? interrupts->signalNumber() : 0;
    report.message = QStringLiteral("abgebrochen vor dem ersten Schreibbefehl, der Port ist geschlossen");
    return;
  }
  report.status = programOutcome(view, session);
  if (report.status != ExitStatus::Success) report.message = causeOf(view, session, port);
}

}  // namespace lk24::cli
