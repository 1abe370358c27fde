#pragma once
// What "ports" shows: COM1..COM4 with the device each resolves to, then
// every serial port found with what it is and whether it can be opened now.

#include <QByteArray>
#include <QString>

#include <vector>

namespace lk24::cli {

struct PortEntry {
  QString name;          // "COM1".. for the COM list; the device path for a port found
  QString device;        // the device path
  QString description;   // what it is
  QString availability;  // "frei", "keine Berechtigung", "belegt von NAME PID", "fehlt"
  bool openable = false;
};

struct PortListing {
  std::vector<PortEntry> comPorts;
  std::vector<PortEntry> found;
};

PortListing listPorts();
QStringList portsText(const PortListing& listing);
QByteArray portsJson(const PortListing& listing);

}  // namespace lk24::cli
