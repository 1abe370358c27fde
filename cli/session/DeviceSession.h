#pragma once
// One request to one device through the window's own DeviceLink: the same
// serial port component, protocol, image handling and log texts, with the
// command line's view in place of the window. Main thread only.

#include "link/AfComPortLine.h"
#include "link/DeviceLink.h"
#include "serial/AfComPort.h"

#include <cstdint>
#include <string>

namespace lk24::cli {

class CommandView;
class InterruptWatch;

class DeviceSession {
 public:
  // The image, the view and the watch must outlive the session. interrupts
  // may be null. A program run backs the device up into backupFolder.
  DeviceSession(ConfigImage& image, CommandView& view, std::uint16_t comNumber, const InterruptWatch* interrupts,
                const std::string& backupFolder);
  ~DeviceSession();  // closes the port

  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Each runs the window's request to its end: "Auslesen", and
  // "Programmieren" answered with Yes. False when an interrupt cut a read
  // short; a program run is cut short only in its first read pass, before
  // anything is written.
  bool read();
  bool program();
  // The program run that writes a backup back exactly (DeviceLink::restore).
  bool restore(const Table& backup);

  DeviceLink& link() { return link_; }
  // An error the port component raised inside a transfer, if any.
  const std::string& escapedError() const { return escapedError_; }

 private:
  bool waitForEnd();

  const InterruptWatch* interrupts_;
  TAfComPort port_;
  AfComPortLine line_;
  DeviceLink link_;
  std::string escapedError_;
};

}  // namespace lk24::cli
