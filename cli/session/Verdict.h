#pragma once
// The line a device gets on the bench: "OK ..." or "FEHLER ... NICHT
// AUSLIEFERN", so a failed device never reads like a good one; with a
// half-written device's restore command, and green or red on a terminal.

#include <string>

namespace lk24::cli {

struct Report;

bool passed(const Report& report);
// "Empfänger 04711", or what is known of the device.
std::string deviceName(const Report& report);
// The verdict without colour.
std::string verdictLine(const Report& report);
// Prints the verdict on stdout (coloured when stdout is a terminal and
// NO_COLOR is not set) and rings the terminal's bell on a failure.
void printVerdict(const Report& report);

// The shell command that puts a backup back into the device on port.
std::string restoreCommand(const std::string& port, const std::string& templatePath, const std::string& backup);

}  // namespace lk24::cli
