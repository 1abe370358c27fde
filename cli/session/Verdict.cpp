#include "cli/session/Verdict.h"

#include "cli/output/Output.h"
#include "cli/session/Report.h"
#include "cli/output/Text.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace lk24::cli {

namespace {

bool colourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) == 1 && !(noColour && *noColour);
}

// Single quotes keep every character but the quote itself.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  quoted += replaced(text, "'", "'\\''");
  return quoted + "'";
}

// A file problem after the backup was kept can only be the record row,
// which is written after the device was programmed and verified.
bool onlyTheRecordFailed(const Report& report) {
  return !report.interruptedBy && report.status == ExitStatus::FileUnusable && !report.backupFile.empty();
}

// Writing began only after the backup was kept; a run that then failed
// left the device with part of the new image.
bool halfWritten(const Report& report) {
  return !passed(report) && !report.backupFile.empty() && !onlyTheRecordFailed(report);
}

}  // namespace

bool passed(const Report& report) { return report.exitCode() == 0; }

std::string deviceName(const Report& report) {
  if (!report.device) return "unbekanntes Gerät";
  std::string name = typeName(*report.device);
  if (report.device->serialNumber >= 0) name += ' ' + zeroPadded(report.device->serialNumber, 5);
  return name;
}

std::string restoreCommand(const std::string& port, const std::string& templatePath, const std::string& backup) {
  // The run's own template: without it the port may mean another device, or no template is found.
  const std::string withTemplate = templatePath.empty() ? std::string() : " --template " + shellQuoted(templatePath);
  return "lk24ctl restore --port " + shellQuoted(port) + withTemplate + " " + shellQuoted(backup);
}

std::string verdictLine(const Report& report) {
  if (passed(report)) {
    std::string line = "OK " + deviceName(report) + ": erfolgreich";
    if (!report.backupFile.empty()) line += ", Sicherung \"" + report.backupFile + "\"";
    return line;
  }
  std::string line = "FEHLER " + deviceName(report) + ": " + report.message + " (Exit-Status " +
                     std::to_string(report.exitCode()) + ") – NICHT AUSLIEFERN";
  if (onlyTheRecordFailed(report)) line += "; Gerät beschrieben und geprüft, Sicherung \"" + report.backupFile + "\"";
  if (halfWritten(report)) {
    line += "; teilweise beschrieben, zurück mit: " + restoreCommand(report.portGiven, report.templateGiven, report.backupFile);
  }
  return line;
}

void printVerdict(const Report& report) {
  const std::string line = verdictLine(report);
  if (!colourWanted()) {
    printOut(line);
  } else {
    const char* colour = passed(report) ? "\033[1;32m" : "\033[1;31m";
    printOut(colour + line + "\033[0m");
  }
  // The bell calls the operator back to a failed device.
  if (!passed(report) && ::isatty(STDERR_FILENO) == 1) {
    std::fputc('\a', stderr);
    std::fflush(stderr);
  }
}

}  // namespace lk24::cli
