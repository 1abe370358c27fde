#pragma once
// The report command's writer, from the report module (report/), which
// lk24ctl loads only when a report is asked for: the program links no Qt,
// and every other command works where the module or Qt is missing.

#include "cli/commands/SettingsCommands.h"

#include <filesystem>
#include <string>
#include <vector>

namespace lk24::cli {

// Where the module is looked for, in this order: beside the program (the
// build tree, the Windows install folder), then the package's library
// folder (POSIX only).
std::vector<std::filesystem::path> reportModulePlaces();

// The module's writer, once it is loaded and speaks this program's version;
// otherwise an empty writer, and why in German (which file, and what is wrong).
// Main thread. The module stays loaded until the process ends.
ReportWriter loadReportModule(std::string* why);

}  // namespace lk24::cli
