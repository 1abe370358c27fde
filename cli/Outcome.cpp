#include "cli/Outcome.h"

#include "cli/CommandView.h"
#include "cli/DeviceSession.h"
#include "cli/PortChoice.h"
#include "cli/Text.h"
#include "link/LinkTexts.h"

#include <vector>

namespace lk24::cli {

ExitStatus readOutcome(const CommandView& view, const DeviceSession& session) {
  if (view.logged(linktext::portOpenFailed())) return ExitStatus::PortUnavailable;
  if (!view.readPassCompleted() || !session.escapedError().empty()) return ExitStatus::TransferError;
  // Two reads that differ: the line is disturbed, the device not to blame.
  if (view.logged(linktext::checkConnection())) return ExitStatus::TransferError;
  if (view.logged(linktext::checksumWrong())) return ExitStatus::ChecksumWrong;
  return ExitStatus::Success;
}

ExitStatus programOutcome(const CommandView& view, const DeviceSession& session) {
  if (view.logged(linktext::portOpenFailed())) return ExitStatus::PortUnavailable;
  const std::string otherDevice = beforeFirst(linktext::otherDevice({}, {}), '(');
  if (view.logged(linktext::firmwareMismatch()) || view.logged(linktext::writeProtected()) ||
      view.loggedStartingWith(otherDevice)) {
    return ExitStatus::DeviceRefused;
  }
  // A verified device is programmed, whatever the port component reported
  // on the way; the window's user sees the same.
  if (view.logged(linktext::programDone())) return ExitStatus::Success;
  if (!session.escapedError().empty()) return ExitStatus::TransferError;
  if (view.logged(linktext::verifyDifference())) return ExitStatus::VerifyDifferences;
  // The device's image could not be kept, so nothing was written: a file
  // problem on this side.
  const std::string backupFailed = beforeFirst(linktext::backupFailed({}), ':');
  if (view.loggedStartingWith(backupFailed)) return ExitStatus::FileUnusable;
  return ExitStatus::TransferError;
}

std::string causeOf(const CommandView& view, const DeviceSession& session, const PortChoice& port) {
  std::vector<std::string> texts;
  for (const LogLine& line : view.log()) {
    if (line.red) texts.push_back(trimmed(line.text));
  }
  if (!session.escapedError().empty()) texts.push_back(session.escapedError());
  std::string cause = join(texts, " / ");
  // Without a reason line of the port's own, the device is named here.
  if (view.logged(linktext::portOpenFailed()) && texts.size() == 1) {
    cause += port.given == port.device ? " (" + port.device + ")" : " (" + port.given + " = " + port.device + ")";
  }
  return cause;
}

}  // namespace lk24::cli
