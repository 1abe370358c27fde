#pragma once
// "restore": a backup from "Sicherungen" written back into the device it was
// taken from, byte for byte, with the program run's pre-read, checks, backup
// of the present state and verify.

#include "cli/session/Report.h"
#include "model/ConfigImage.h"

namespace lk24::cli {

class CommandView;
class InterruptWatch;
struct PortChoice;

// image holds the template's tables; backup the backup file's device image.
// Fills report like programDevice; another device is refused with status 6.
void restoreDevice(ConfigImage& image, const Table& backup, const PortChoice& port, const std::string& backupFolder,
                   const InterruptWatch* interrupts, CommandView& view, Report& report);

}  // namespace lk24::cli
