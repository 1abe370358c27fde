#include "cli/session/Outcome.h"

#include "cli/session/CommandView.h"
#include "cli/session/DeviceSession.h"
#include "cli/args/PortChoice.h"
#include "cli/output/Text.h"

#include <vector>

namespace lk24::cli {

ExitStatus exitStatusOf(const TransferResult& result, bool portErrorEscaped) {
  const bool programRun = result.request == Request::Program || result.request == Request::Restore;
  switch (result.ending) {
    case TransferEnding::Done:
      // A verified device is programmed, whatever the port component
      // reported on the way; the window's user sees the same.
      if (programRun) return ExitStatus::Success;
      if (portErrorEscaped || !result.deviceImage) return ExitStatus::TransferError;
      return calculatechecksum(*result.deviceImage) == (*result.deviceImage)[addr::kChecksum]
                 ? ExitStatus::Success
                 : ExitStatus::ChecksumWrong;
    case TransferEnding::PortNotOpened:
      return ExitStatus::PortUnavailable;
    case TransferEnding::Refused:
      return ExitStatus::DeviceRefused;
    case TransferEnding::VerifyDifferences:
      return portErrorEscaped ? ExitStatus::TransferError : ExitStatus::VerifyDifferences;
    case TransferEnding::BackupFailed:
      // The device's image could not be kept, so nothing was written: a
      // file problem on this side.
      return portErrorEscaped ? ExitStatus::TransferError : ExitStatus::FileUnusable;
    case TransferEnding::TransferError:
    case TransferEnding::DisturbedLine:  // the line is disturbed, the device not to blame
    case TransferEnding::Declined:       // never on the command line: it answers Yes
    case TransferEnding::Interrupted:    // the caller reports the signal
      return ExitStatus::TransferError;
  }
  return ExitStatus::TransferError;
}

ExitStatus transferOutcome(const CommandView& view, const DeviceSession& session) {
  if (!view.result()) return ExitStatus::TransferError;
  return exitStatusOf(*view.result(), !session.escapedError().empty());
}

std::string causeOf(const CommandView& view, const DeviceSession& session, const PortChoice& port) {
  std::vector<std::string> texts;
  for (const LogLine& line : view.log()) {
    if (line.red) texts.push_back(trimmed(line.text));
  }
  if (!session.escapedError().empty()) texts.push_back(session.escapedError());
  std::string cause = join(texts, " / ");
  // Without a reason of the port's own, the device is named here.
  const auto& result = view.result();
  if (result && result->ending == TransferEnding::PortNotOpened && result->portFailure.empty() &&
      session.escapedError().empty()) {
    cause += port.given == port.device ? " (" + port.device + ")" : " (" + port.given + " = " + port.device + ")";
  }
  return cause;
}

}  // namespace lk24::cli
