#pragma once
// Every command of lk24ctl (the table in CommandLine.cpp names them). Each
// reads its files before it opens a port; the device commands drive the
// window's DeviceLink through a DeviceSession. Each prints what it found
// (or one JSON document) and returns the exit status.

#include "cli/args/CommandLine.h"

namespace lk24::cli {

class InterruptWatch;

// Runs the parsed command; interrupts may be null. Main thread, which runs
// mainLoop().
int runCommand(const Arguments& arguments, const InterruptWatch* interrupts);

}  // namespace lk24::cli
