#include "cli/args/PortChoice.h"

#include "cli/args/CommandLine.h"
#include "serial/AfPortResolver.h"

#include <string>

namespace lk24::cli {

PortChoice choosePort(const std::string& given, std::uint16_t templatePort) {
  PortChoice choice;
  choice.given = given;
  if (const int com = comNumberOf(given); com != 0) {
    choice.number = static_cast<std::uint16_t>(com);
    choice.fileNumber = choice.number;
    choice.device = AfResolveComPort(com, TAfPortRoots{}).devicePath;
    return choice;
  }
  // A number the port component refuses (0) is no place to map a path to.
  choice.number = templatePort >= 1 ? templatePort : 1;
  choice.fileNumber = templatePort;
  choice.device = given;
  // Unlike the user's own LK24_COMn, this mapping never reaches the console.
  AfMapComPortToPath(choice.number, given);
  return choice;
}

}  // namespace lk24::cli
