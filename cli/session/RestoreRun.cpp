#include "cli/session/RestoreRun.h"

#include "cli/session/CommandView.h"
#include "cli/session/DeviceSession.h"
#include "cli/args/PortChoice.h"
#include "cli/session/ProgramRun.h"

namespace lk24::cli {

void restoreDevice(ConfigImage& image, const Table& backup, const PortChoice& port, const std::string& backupFolder,
                   const InterruptWatch* interrupts, CommandView& view, Report& report) {
  DeviceSession session(image, view, port.number, interrupts, backupFolder);
  const bool finished = session.restore(backup);
  reportProgramRun(session, finished, port, interrupts, view, report);
}

}  // namespace lk24::cli
