#pragma once
// show, diff and report: a configuration in the window's words, the
// settings in which two differ, and the printable report. Each command
// lives in its own file; all run on the main thread.

#include "cli/args/CommandLine.h"
#include "cli/args/ExitStatus.h"
#include "editor/SettingsInWords.h"
#include "model/ConfigImage.h"

#include <functional>
#include <string>

namespace lk24::cli {

class InterruptWatch;

int runShow(const Arguments& arguments, const InterruptWatch* interrupts);
int runDiff(const Arguments& arguments, const InterruptWatch* interrupts);
int runReport(const Arguments& arguments, const InterruptWatch* interrupts);

// One differing setting as a line: "Alarm nach:  600 | 900  (EMPFÄNGER /
// Grundeinstellung, Adresse 24-25)".
std::string differenceLine(const SettingDifference& difference);

// Writes the report of image (from the file or port named source) as a PDF
// at path; false with the reason in error. The PDF needs Qt, which lk24ctl
// does not link: without a writer handed in, report loads the report module
// for one (cli/ReportModuleLoader.h).
using ReportWriter = std::function<bool(const Table& image, const std::string& source, const std::string& path,
                                        std::string* error)>;
void setReportWriter(ReportWriter writer);

}  // namespace lk24::cli
