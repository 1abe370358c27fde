#include "cli/PortList.h"

#include "serial/AfPlatform.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace lk24::cli {

namespace {

void judge(PortEntry& entry) {
  const QByteArray path = entry.device.toLocal8Bit();
  if (!QFileInfo::exists(entry.device)) {
    entry.availability = QStringLiteral("fehlt");
  } else if (::access(path.constData(), R_OK | W_OK) != 0) {
    entry.availability = QStringLiteral("keine Berechtigung");
  } else {
    entry.availability = QStringLiteral("frei");
    entry.openable = true;
  }
}

QJsonArray toArray(const std::vector<PortEntry>& entries) {
  QJsonArray array;
  for (const PortEntry& e : entries) {
    array.append(QJsonObject{{QStringLiteral("name"), e.name},
                             {QStringLiteral("device"), e.device},
                             {QStringLiteral("description"), e.description},
                             {QStringLiteral("availability"), e.availability},
                             {QStringLiteral("openable"), e.openable}});
  }
  return array;
}

}  // namespace

PortListing listPorts() {
  PortListing listing;
  for (int n = 1; n <= 4; ++n) {
    PortEntry entry;
    entry.name = QStringLiteral("COM%1").arg(n);
    entry.device = QString::fromStdString(AfComPortPath(n));
    judge(entry);
    listing.comPorts.push_back(entry);
  }
  const QDir dev(QStringLiteral("/dev"));
  for (const QString& name : dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System)) {
    PortEntry entry;
    entry.device = dev.filePath(name);
    entry.name = entry.device;
    entry.description = name.startsWith(QLatin1String("ttyUSB")) ? QStringLiteral("USB-Adapter")
                                                                 : QStringLiteral("USB-ACM-Gerät");
    judge(entry);
    listing.found.push_back(entry);
  }
  return listing;
}

QStringList portsText(const PortListing& listing) {
  QStringList lines;
  for (const PortEntry& e : listing.comPorts) {
    lines << QStringLiteral("%1  %2  %3").arg(e.name, -5).arg(e.device, -24).arg(e.availability);
  }
  lines << QString();
  if (listing.found.empty()) lines << QStringLiteral("keine seriellen Schnittstellen gefunden");
  for (const PortEntry& e : listing.found) {
    lines << QStringLiteral("%1  %2  %3").arg(e.device, -24).arg(e.description, -20).arg(e.availability);
  }
  return lines;
}

QByteArray portsJson(const PortListing& listing) {
  const QJsonObject document{{QStringLiteral("command"), QStringLiteral("ports")},
                             {QStringLiteral("result"), QStringLiteral("success")},
                             {QStringLiteral("exitStatus"), 0},
                             {QStringLiteral("comPorts"), toArray(listing.comPorts)},
                             {QStringLiteral("ports"), toArray(listing.found)}};
  return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

}  // namespace lk24::cli
