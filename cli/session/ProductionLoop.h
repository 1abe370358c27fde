#pragma once
// "program --each": one device after another on one port until SIGINT or
// SIGTERM, --count devices or the first failure with --stop-on-failure. The
// port is checked before the first device. After a device the loop waits
// until it stops answering (unplugged) or another device answers in its
// place (a serial number not seen last), and programs the next one.

#include "cli/args/CommandLine.h"
#include "cli/args/PortChoice.h"
#include "model/ConfigImage.h"

#include <string>

namespace lk24::cli {

class InterruptWatch;
class ProgressLine;
class RunRecord;

struct LoopSettings {
  Table file;            // the image to program
  std::string filePath;  // its file, for the record
  std::string templateGiven;  // --template as given, for the restore line
  std::string fileSha256;  // of the file as it was loaded, not as it may be on disk later
  PortChoice port;
  std::string backupFolder;
  bool json = false;
  bool quiet = false;
  ExpectedType expectType = ExpectedType::Any;
  int count = 0;         // 0: until interrupted
  bool stopOnFailure = false;
};

// One "OK"/"FEHLER" line per device on stdout (with json, one JSON line per
// device), a row in record for each, and a summary at the end. Returns 0
// only when every device passed; 3 for a port that cannot be used, 2 for a
// record that cannot be written, else the status of the last failed device.
int runProductionLoop(const ConfigImage& templateImage, const LoopSettings& settings, RunRecord& record,
                      const InterruptWatch* interrupts, ProgressLine& progress);

}  // namespace lk24::cli
