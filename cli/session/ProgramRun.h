#pragma once
// "Laden" of a file followed by "Programmieren" answered with Yes, into the
// device on one port; shared by "program" and its production loop.

#include "cli/args/CommandLine.h"
#include "cli/session/Report.h"
#include "model/ConfigImage.h"

namespace lk24::cli {

class CommandView;
class DeviceSession;
class InterruptWatch;
struct PortChoice;

// image holds the template's tables; its DeviceImage is replaced by file.
// Fills report's status, message, device (as read back when the run got
// that far), backup file and log. Backups go into backupFolder.
void programDevice(ConfigImage& image, const Table& file, const PortChoice& port, const std::string& backupFolder,
                   const InterruptWatch* interrupts, CommandView& view, Report& report);

// Why a device of typeCode is refused when expected is asked for; empty
// when it may be programmed.
std::string typeRefusal(ExpectedType expected, int typeCode);
// Marks report as refused for that reason, with the device's type and serial.
void refuseType(Report& report, const std::string& reason, int typeCode, int serial);
// Fills report from a program run that has ended (finished false: cut short
// by an interrupt before its first write).
void reportProgramRun(const DeviceSession& session, bool finished, const PortChoice& port,
                      const InterruptWatch* interrupts, const CommandView& view, Report& report);

}  // namespace lk24::cli
