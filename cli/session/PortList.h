#pragma once
// What "ports" shows: COM1..COM4 with the device each resolves to, then
// every serial port found with what it is and whether it can be opened now.
// Nothing is opened to find out.

#include <string>
#include <vector>

struct TAfPortAccess;

namespace lk24::cli {

struct PortEntry {
  std::string name;          // "COM1".. in the COM list; the device path for a port found
  std::string device;        // the device path; empty when COMn resolves to none
  std::string description;   // what it is, as the window's tooltips say it
  std::string state;         // free, no-permission, held, missing, no-uart, no-port, failed, not-serial, console
  std::string availability;  // the same in German, with the holder's name and PID or the group
};

struct PortListing {
  std::vector<PortEntry> comPorts;
  std::vector<PortEntry> found;
};

PortListing listPorts();
// Fills entry's state and availability from what the port check found.
void judge(PortEntry& entry, const TAfPortAccess& access);
std::vector<std::string> portsText(const PortListing& listing);
std::string portsJson(const PortListing& listing);

}  // namespace lk24::cli
