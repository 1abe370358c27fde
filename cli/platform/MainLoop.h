#pragma once
// The event loop of lk24ctl's main thread: the one every wait of a command
// turns, and the one the serial port hands its events to.

#include "cli/platform/EventLoop.h"

namespace lk24::cli {

// Made at the first call, which must come from the main thread; from then
// on the port's hand-over to the main thread is served by this loop.
EventLoop& mainLoop();

// At the program's end: calls still waiting for the main thread give up.
void endMainLoop();

}  // namespace lk24::cli
