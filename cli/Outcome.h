#pragma once
// How a request through the device link ended, judged by what the link
// logged: the same entries the window's user reads.

#include "cli/ExitStatus.h"

#include <string>

namespace lk24::cli {

class CommandView;
class DeviceSession;
struct PortChoice;

ExitStatus readOutcome(const CommandView& view, const DeviceSession& session);
ExitStatus programOutcome(const CommandView& view, const DeviceSession& session);

// The cause of a failure: the log's red lines, an error the port component
// raised, and for a port that would not open, the device it stands for.
std::string causeOf(const CommandView& view, const DeviceSession& session, const PortChoice& port);

}  // namespace lk24::cli
