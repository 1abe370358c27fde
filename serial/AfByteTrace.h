#pragma once
// The byte trace for the field. With LK24_TRACE=FILE every byte the port
// sends and receives goes into FILE as it passes the device, one line each,
// in the simulated device's trace format: the direction ("in" towards the
// device, "out" from it), the microseconds since the trace began on a
// monotonic clock, and the byte in hex. A trace taken with a misbehaving
// adapter therefore reads line by line beside one from lk24-devsim --trace.
// The file is begun afresh at the first traced open of a process and kept
// for its later opens; lines starting with '#' are comments.
//
// Without a trace the port's device is used as it is: nothing is added on
// the way of a byte.

#include "serial/AfPlatform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The device the engine should drive: `device` itself when no trace is on,
// else a wrapper that writes every byte to the trace. A trace file that
// cannot be written is said once on stderr; the port works on untraced.
// Main thread, at open.
std::unique_ptr<TAfSerialDevice> AfTraceDevice(std::unique_ptr<TAfSerialDevice> device, std::int32_t number,
                                               const std::string& devicePath);

// Traces into `path` from the next open on instead of LK24_TRACE's file; an
// empty path traces nothing, nullopt goes back to LK24_TRACE. Main thread,
// while no traced port is open.
void AfSetByteTracePath(std::optional<std::string> path);
