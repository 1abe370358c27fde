#include "cli/session/ProgramRun.h"

#include "cli/session/CommandView.h"
#include "cli/session/DeviceSession.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/session/Outcome.h"
#include "cli/args/PortChoice.h"
#include "editor/DeviceIdentity.h"

namespace lk24::cli {

void programDevice(ConfigImage& image, const Table& file, const PortChoice& port, const std::string& backupFolder,
                   const InterruptWatch* interrupts, CommandView& view, Report& report) {
  image.DeviceImage = file;
  view.showdata();  // the load's refresh; the run refreshes once more itself
  DeviceSession session(image, view, port.number, interrupts, backupFolder);
  const bool finished = session.program();
  reportProgramRun(session, finished, port, interrupts, view, report);
}

void reportProgramRun(const DeviceSession& session, bool finished, const PortChoice& port,
                      const InterruptWatch* interrupts, const CommandView& view, Report& report) {
  report.log = view.log();
  const auto& result = view.result();
  if (result) report.backupFile = result->backupPath;
  // What the device holds now, when the run read it back; else what it held.
  if (result && result->deviceImage) report.device = factsOf(*result->deviceImage);
  // Each byte the read-back found other than written, with both values, as the log lists them.
  if (result) {
    for (const ByteDifference& d : result->differences) report.differences.push_back({d.address, d.wanted, d.device});
  }
  if (!finished) {
    report.interruptedBy = interrupts ? interrupts->signalNumber() : 0;
    report.message = "abgebrochen vor dem ersten Schreibbefehl, der Port ist geschlossen";
    return;
  }
  report.status = transferOutcome(view, session);
  if (report.status != ExitStatus::Success) report.message = causeOf(view, session, port);
}

std::string typeRefusal(ExpectedType expected, int typeCode) {
  const int wanted = expected == ExpectedType::Transmitter ? devicetype::kTransmitter : devicetype::kReceiver;
  if (expected == ExpectedType::Any || typeCode == wanted) return {};
  DeviceFacts facts;
  facts.typeCode = typeCode;
  const std::string is = typeName(facts);
  facts.typeCode = wanted;
  return "Gerätetyp falsch: " + is + " statt " + typeName(facts) + ", nichts geschrieben";
}

void refuseType(Report& report, const std::string& reason, int typeCode, int serial) {
  DeviceFacts facts;
  facts.typeCode = typeCode;
  facts.serialNumber = serial;
  report.device = facts;
  TransferResult refused;
  refused.request = Request::Program;
  refused.ending = TransferEnding::Refused;
  refused.refusals = {Refusal::Type};
  report.status = exitStatusOf(refused, false);
  report.message = reason;
}

}  // namespace lk24::cli
