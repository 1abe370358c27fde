#pragma once
// How a request through the device link ended, as lk24ctl's exit status:
// one table from the link's result.

#include "cli/args/ExitStatus.h"
#include "link/TransferResult.h"

#include <string>

namespace lk24::cli {

class CommandView;
class DeviceSession;
struct PortChoice;

// portErrorEscaped: the port component raised an error inside the transfer.
ExitStatus exitStatusOf(const TransferResult& result, bool portErrorEscaped);
// The same for the request a session ran through this view.
ExitStatus transferOutcome(const CommandView& view, const DeviceSession& session);

// The cause of a failure: the log's red lines, an error the port component
// raised, and for a port that would not open, the device it stands for.
std::string causeOf(const CommandView& view, const DeviceSession& session, const PortChoice& port);

}  // namespace lk24::cli
