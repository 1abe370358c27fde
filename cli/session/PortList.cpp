#include "cli/session/PortList.h"

#include "cli/output/Json.h"
#include "cli/session/Report.h"
#include "link/PortTexts.h"
#include "serial/AfPortResolver.h"

#include <cstring>

namespace lk24::cli {

void judge(PortEntry& entry, const TAfPortAccess& access) {
  switch (access.state) {
    case TAfPortState::Free:
      entry.state = "free";
      entry.availability = "frei";
      return;
    case TAfPortState::NoPort:
      entry.state = "no-port";
      entry.availability = "kein Port gefunden";
      return;
    case TAfPortState::Missing:
      entry.state = "missing";
      entry.availability = "fehlt";
      return;
    case TAfPortState::NoUart:
      entry.state = "no-uart";
      entry.availability = "kein UART";
      return;
    case TAfPortState::NoPermission:
      entry.state = "no-permission";
      // No group that may open it: only root can, whatever group the user joins.
      entry.availability = access.group.empty() ? "keine Berechtigung (nur root)"
                                                : "keine Berechtigung (Gruppe " + access.group + ")";
      return;
    case TAfPortState::Held:
      entry.state = "held";
      entry.availability = access.holder ? "belegt von " + (access.holder->name.empty() ? "?" : access.holder->name) +
                                               " " + std::to_string(access.holder->pid)
                                         : "belegt";
      return;
    case TAfPortState::Failed:
      break;
  }
  entry.state = "failed";
  entry.availability = std::string("nicht zu öffnen (") + std::strerror(access.systemError) + ")";
}

namespace {

json::Array toArray(const std::vector<PortEntry>& entries) {
  json::Array array;
  for (const PortEntry& e : entries) {
    json::Object entry;
    entry["name"] = e.name;
    entry["device"] = json::orNull(e.device);
    entry["description"] = e.description;
    entry["state"] = e.state;
    entry["availability"] = e.availability;
    array.emplace_back(std::move(entry));
  }
  return array;
}

}  // namespace

PortListing listPorts() {
  const TAfPortRoots roots;
  PortListing listing;
  for (int n = 1; n <= 4; ++n) {
    const TAfComResolution resolution = AfResolveComPort(n, roots);
    PortEntry entry;
    entry.name = "COM" + std::to_string(n);
    entry.device = resolution.devicePath;
    entry.description = porttext::describeResolution(resolution);
    if (resolution.source == TAfComResolution::NoPort) {
      judge(entry, TAfPortAccess{TAfPortState::NoPort, {}, 0, {}, {}});
    } else {
      judge(entry, AfCheckPortAccess(resolution.devicePath, roots));
    }
    listing.comPorts.push_back(entry);
  }
  for (const TAfSerialPortInfo& info : AfListSerialPorts(roots)) {
    PortEntry entry;
    entry.name = info.devicePath;
    entry.device = entry.name;
    entry.description = porttext::describe(info);
    judge(entry, AfCheckPortAccess(info.devicePath, roots));
    listing.found.push_back(entry);
  }
  return listing;
}

std::vector<std::string> portsText(const PortListing& listing) {
  std::vector<std::string> lines;
  for (const PortEntry& e : listing.comPorts) {
    std::string line = e.name + ": " + e.description;
    if (e.state != "no-port") line += " – " + e.availability;
    lines.push_back(line);
  }
  lines.emplace_back();
  if (listing.found.empty()) lines.emplace_back("keine serielle Schnittstelle gefunden");
  for (const PortEntry& e : listing.found) lines.push_back(e.description + " – " + e.availability);
  return lines;
}

std::string portsJson(const PortListing& listing) {
  return json::compact(jsonFrame({{"command", "ports"},
                                  {"result", "success"},
                                  {"exitStatus", 0},
                                  {"comPorts", toArray(listing.comPorts)},
                                  {"ports", toArray(listing.found)}}));
}

}  // namespace lk24::cli
