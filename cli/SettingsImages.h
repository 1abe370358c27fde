#pragma once
// The images show, diff and report describe: configuration files, read all
// or nothing, and at most one device, read as "Auslesen" reads it (after the
// files, so that a bad file never sends a byte).

#include "cli/CommandLine.h"
#include "cli/CommandView.h"
#include "model/ConfigImage.h"

#include <QString>

#include <vector>

namespace lk24::cli {

class InterruptWatch;

struct NamedImage {
  Table image{};
  QString name;  // the file as given, or the port
  bool fromDevice = false;
};

struct SettingsImages {
  std::vector<NamedImage> images;  // the files in their order, then the device
  int exitCode = 0;                // non-zero: the images are incomplete
  QString message;                 // why, in German
  std::vector<LogLine> log;        // the device read's log, if any
};

// Main thread, inside a QCoreApplication; interrupts may be null.
SettingsImages loadSettingsImages(const Arguments& arguments, const InterruptWatch* interrupts);

// The "schema" and "tool" keys every JSON document of lk24ctl carries.
QString toolName();
constexpr int kJsonSchema = 1;

}  // namespace lk24::cli
