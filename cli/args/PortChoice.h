#pragma once
// The port a command talks to: COM1..COM4 as the window resolves them, or a
// device path, which is opened under the template's port number (the number
// the window would have and the file's port line carries).

#include <cstdint>
#include <string>

namespace lk24::cli {

struct PortChoice {
  std::string given;             // as on the command line
  std::uint16_t number = 1;      // the COM number the port is opened as
  std::string device;            // the device it resolves to now
  std::uint16_t fileNumber = 1;  // the port line of a file written from it
};

// Main thread only: a path is handed to the port component through its
// LK24_COMn mapping.
PortChoice choosePort(const std::string& given, std::uint16_t templatePort);

}  // namespace lk24::cli
