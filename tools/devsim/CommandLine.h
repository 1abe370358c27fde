#pragma once
// The options of lk24-devsim, read from the command line.

#include "tools/devsim/DeviceSimulator.h"

#include <string>
#include <vector>

namespace lk24::devsim {

struct ParsedCommandLine {
  Options options;
  bool help = false;
  std::string error;  // one line; empty when the command line is good
};

// args excludes the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

const char* usageText();

}  // namespace lk24::devsim
