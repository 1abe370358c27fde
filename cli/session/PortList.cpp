#include "cli/session/PortList.h"

#include "cli/output/Json.h"
#include "cli/session/Report.h"
#include "link/PortTexts.h"
#include "serial/AfPortResolver.h"

#include <cstring>

namespace lk24::cli {

namespace {

// Each state's word in JSON and in the listing; the states that need more
// (group, holder, error) add it below.
struct StateWords {
  TAfPortState state;
  const char* json;
  const char* german;
};
constexpr StateWords kStateWords[] = {
    {TAfPortState::Free, "free", "frei"},
    {TAfPortState::NoPort, "no-port", "kein Port gefunden"},
    {TAfPortState::Missing, "missing", "fehlt"},
    {TAfPortState::NoUart, "no-uart", "kein UART"},
    {TAfPortState::NoPermission, "no-permission", "keine Berechtigung"},
    {TAfPortState::Held, "held", "belegt"},
    {TAfPortState::Failed, "failed", "nicht zu öffnen"},
    {TAfPortState::NotSerial, "not-serial", "keine serielle Schnittstelle"},
    {TAfPortState::Console, "console", "nur über LK24_COMn"},
};

}  // namespace

void judge(PortEntry& entry, const TAfPortAccess& access) {
  for (const StateWords& words : kStateWords) {
    if (words.state != access.state) continue;
    entry.state = words.json;
    entry.availability = words.german;
  }
  switch (access.state) {
    case TAfPortState::NoPermission:
      // No group that may open it: only root can, whatever group the user joins.
      entry.availability += access.group.empty() ? " (nur root)" : " (Gruppe " + access.group + ")";
      break;
    case TAfPortState::Held:
      if (access.holder) {
        entry.availability += " von " + (access.holder->name.empty() ? "?" : access.holder->name) + " " +
                              std::to_string(access.holder->pid);
      }
      break;
    case TAfPortState::Failed:
      entry.availability += std::string(" (") + std::strerror(access.systemError) + ")";
      break;
    case TAfPortState::NotSerial:
      entry.availability += ", sondern " + porttext::notSerialName(access.notSerial);
      break;
    default:
      break;
  }
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

namespace {

// One line of the listing: what the path is and whether it can be used now.
PortEntry entryFor(std::string name, std::string device, std::string description, const TAfPortAccess& access) {
  PortEntry entry;
  entry.name = std::move(name);
  entry.device = std::move(device);
  entry.description = std::move(description);
  judge(entry, access);
  return entry;
}

}  // namespace

PortListing listPorts() {
  const TAfPortRoots roots;
  PortListing listing;
  for (int n = 1; n <= 4; ++n) {
    const TAfComResolution r = AfResolveComPort(n, roots);
    const bool mappedOnPurpose = r.source == TAfComResolution::Mapped && r.onPurpose;
    const TAfPortAccess access = r.source == TAfComResolution::NoPort
                                     ? TAfPortAccess{TAfPortState::NoPort, {}, 0, {}, {}}
                                     : AfCheckPortAccess(r.devicePath, roots, mappedOnPurpose);
    listing.comPorts.push_back(
        entryFor("COM" + std::to_string(n), r.devicePath, porttext::describeResolution(r), access));
  }
  for (const TAfSerialPortInfo& info : AfListSerialPorts(roots)) {
    listing.found.push_back(
        entryFor(info.devicePath, info.devicePath, porttext::describe(info), AfCheckPortAccess(info.devicePath, roots)));
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
