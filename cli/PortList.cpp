#include "cli/PortList.h"

#include "cli/Report.h"
#include "link/PortTexts.h"
#include "serial/AfPortResolver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>

namespace lk24::cli {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void judge(PortEntry& entry, const TAfPortAccess& access) {
  switch (access.state) {
    case TAfPortState::Free:
      entry.state = QStringLiteral("free");
      entry.availability = QStringLiteral("frei");
      return;
    case TAfPortState::NoPort:
      entry.state = QStringLiteral("no-port");
      entry.availability = QStringLiteral("kein Port gefunden");
      return;
    case TAfPortState::Missing:
      entry.state = QStringLiteral("missing");
      entry.availability = QStringLiteral("fehlt");
      return;
    case TAfPortState::NoUart:
      entry.state = QStringLiteral("no-uart");
      entry.availability = QStringLiteral("kein UART");
      return;
    case TAfPortState::NoPermission:
      entry.state = QStringLiteral("no-permission");
      // No group that may open it: only root can, whatever group the user joins.
      entry.availability = access.group.empty() ? QStringLiteral("keine Berechtigung (nur root)")
                                                : QStringLiteral("keine Berechtigung (Gruppe %1)").arg(q(access.group));
      return;
    case TAfPortState::Held:
      entry.state = QStringLiteral("held");
      entry.availability = access.holder ? QStringLiteral("belegt von %1 %2")
                                               .arg(access.holder->name.empty() ? QStringLiteral("?")
                                                                                : q(access.holder->name))
                                               .arg(access.holder->pid)
                                         : QStringLiteral("belegt");
      return;
    case TAfPortState::Failed:
      break;
  }
  entry.state = QStringLiteral("failed");
  entry.availability = QStringLiteral("nicht zu öffnen (%1)").arg(QString::fromLocal8Bit(std::strerror(access.systemError)));
}

namespace {

QJsonArray toArray(const std::vector<PortEntry>& entries) {
  QJsonArray array;
  for (const PortEntry& e : entries) {
    array.append(QJsonObject{{QStringLiteral("name"), e.name},
                             {QStringLiteral("device"), e.device.isEmpty() ? QJsonValue() : QJsonValue(e.device)},
                             {QStringLiteral("description"), e.description},
                             {QStringLiteral("state"), e.state},
                             {QStringLiteral("availability"), e.availability}});
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
    entry.name = QStringLiteral("COM%1").arg(n);
    entry.device = q(resolution.devicePath);
    entry.description = q(porttext::describeResolution(resolution));
    if (resolution.source == TAfComResolution::NoPort) {
      judge(entry, TAfPortAccess{TAfPortState::NoPort, {}, 0, {}, {}});
    } else {
      judge(entry, AfCheckPortAccess(resolution.devicePath, roots));
    }
    listing.comPorts.push_back(entry);
  }
  for (const TAfSerialPortInfo& info : AfListSerialPorts(roots)) {
    PortEntry entry;
    entry.name = q(info.devicePath);
    entry.device = entry.name;
    entry.description = q(porttext::describe(info));
    judge(entry, AfCheckPortAccess(info.devicePath, roots));
    listing.found.push_back(entry);
  }
  return listing;
}

QStringList portsText(const PortListing& listing) {
  QStringList lines;
  for (const PortEntry& e : listing.comPorts) {
    QString line = e.name + QStringLiteral(": ") + e.description;
    if (e.state != QLatin1String("no-port")) line += QStringLiteral(" – ") + e.availability;
    lines << line;
  }
  lines << QString();
  if (listing.found.empty()) lines << QStringLiteral("keine serielle Schnittstelle gefunden");
  for (const PortEntry& e : listing.found) lines << e.description + QStringLiteral(" – ") + e.availability;
  return lines;
}

QByteArray portsJson(const PortListing& listing) {
  const QJsonObject document = jsonFrame({{QStringLiteral("command"), QStringLiteral("ports")},
                             {QStringLiteral("result"), QStringLiteral("success")},
                             {QStringLiteral("exitStatus"), 0},
                             {QStringLiteral("comPorts"), toArray(listing.comPorts)},
                             {QStringLiteral("ports"), toArray(listing.found)}});
  return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

}  // namespace lk24::cli
