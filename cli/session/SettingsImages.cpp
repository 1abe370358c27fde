#include "cli/session/SettingsImages.h"

#include "cli/session/DeviceSession.h"
#include "cli/args/Inputs.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/session/Outcome.h"
#include "cli/output/Output.h"
#include "cli/session/CommandView.h"
#include "cli/args/PortChoice.h"
#include "cli/args/Places.h"
#include "cli/output/Text.h"
#include "cli/session/Report.h"

namespace lk24::cli {

namespace {

void readDevice(const Arguments& arguments, const InterruptWatch* interrupts, SettingsImages& result) {
  ConfigImage image;
  std::string error;
  // The same template as every device command: the given one, LK24.ini
  // here, else the packaged one.
  const Place templatePlace = chooseTemplate(arguments.templatePath, arguments.templateGiven);
  if (!templatePlace.notice.empty() && !arguments.quiet) printErr("lk24ctl: " + templatePlace.notice);
  const auto tables = loadTemplate(templatePlace.path, image, &error);
  if (!tables) {
    result.exitCode = code(ExitStatus::FileUnusable);
    result.message = error;
    return;
  }
  const PortChoice port = choosePort(arguments.port, tables->port);
  // The read's log lines go to stderr: stdout carries the settings.
  std::function<void(const LogLine&)> echo;
  if (!arguments.json) echo = [](const LogLine& line) { printErr(trimmed(line.text)); };
  CommandView view(image, nullptr, echo);
  bool finished = false;
  ExitStatus status = ExitStatus::Success;
  std::string cause;
  {
    DeviceSession session(image, view, port.number, interrupts, {});  // a read makes no backup
    finished = session.read();
    status = transferOutcome(view, session);
    cause = causeOf(view, session, port);
  }
  if (!finished) {
    result.exitCode = kInterruptedBase + (interrupts ? interrupts->signalNumber() : 0);
    result.message = "abgebrochen, der Port ist geschlossen";
    return;
  }
  // A wrong checksum still leaves the whole image to describe; the message says so.
  if (status != ExitStatus::Success && status != ExitStatus::ChecksumWrong) {
    result.exitCode = code(status);
    result.message = cause;
    return;
  }
  if (status == ExitStatus::ChecksumWrong) {
    result.message = cause;
    result.checksumWrong = true;
  }
  result.images.push_back({image.ReadBuffer, arguments.port});
}

}  // namespace

SettingsImages loadSettingsImages(const Arguments& arguments, const InterruptWatch* interrupts) {
  SettingsImages result;
  for (const std::string& file : arguments.files) {
    std::string error;
    const auto image = loadConfiguration(file, &error);
    if (!image) {
      result.exitCode = code(ExitStatus::FileUnusable);
      result.message = error;
      return result;
    }
    result.images.push_back({*image, file});
  }
  if (!arguments.port.empty()) readDevice(arguments, interrupts, result);
  return result;
}

int endWithout(const Arguments& arguments, int exitCode, const std::string& why) {
  const std::string message = trimmed(why);
  if (!message.empty()) printErr("lk24ctl: " + message);
  if (arguments.json) {
    Report report;
    report.command = commandName(arguments.command);
    report.message = message;
    report.portGiven = arguments.port;
    if (exitCode >= kInterruptedBase) {
      report.interruptedBy = exitCode - kInterruptedBase;
    } else {
      report.status = static_cast<ExitStatus>(exitCode);
    }
    printOut(toJson(report));
  }
  return exitCode;
}

}  // namespace lk24::cli
