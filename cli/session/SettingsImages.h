#pragma once
// The images show, diff and report describe: configuration files, read all
// or nothing, and at most one device, read as "Auslesen" reads it (after the
// files, so that a bad file never sends a byte), its log on stderr.

#include "cli/args/CommandLine.h"
#include "cli/args/ExitStatus.h"
#include "model/ConfigImage.h"

#include <string>
#include <vector>

namespace lk24::cli {

class InterruptWatch;

struct NamedImage {
  Table image{};
  std::string name;  // the file as given, or the port
};

struct SettingsImages {
  std::vector<NamedImage> images;  // the files in their order, then the device
  int exitCode = 0;                // non-zero: the images are incomplete
  std::string message;             // why, in German
  bool checksumWrong = false;      // the device's image is whole, but its checksum is wrong

  // A command's exit status once it has shown the images: its own when not
  // 0, else 7 for a device whose checksum is wrong, as read says.
  int finalCode(ExitStatus status) const {
    if (status != ExitStatus::Success || !checksumWrong) return code(status);
    return code(ExitStatus::ChecksumWrong);
  }
};

// Main thread; interrupts may be null.
SettingsImages loadSettingsImages(const Arguments& arguments, const InterruptWatch* interrupts);

// Ends show, diff or report that could not do its work: the message on
// stderr and, with --json, the failure's one JSON document on stdout.
int endWithout(const Arguments& arguments, int exitCode, const std::string& message);

// The "schema" key every JSON document of lk24ctl carries ("tool" is toolVersion()).
constexpr int kJsonSchema = 1;

}  // namespace lk24::cli
