#include "cli/Report.h"

#include "cli/CommandLine.h"
#include "editor/DerivedTexts.h"
#include "link/DeviceIdentity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lk24::cli {

DeviceFacts factsOf(const Table& image) {
  DeviceFacts facts;
  facts.typeCode = image[addr::kDeviceType];
  switch (deviceKind(image)) {
    case DeviceKind::Transmitter:
      facts.serialNumber = image[addr::kTransmitterSerialHigh] * 256 + image[addr::kTransmitterSerialLow];
      break;
    case DeviceKind::Receiver:
      facts.serialNumber = image[addr::kReceiverSerialHigh] * 256 + image[addr::kReceiverSerialLow];
      break;
    case DeviceKind::Unknown:
      break;
  }
  facts.firmware = QString::fromStdString(firmwareText(image[addr::kFirmwareMajor], image[addr::kFirmwareMinor]))
                       .trimmed();
  facts.firmwareFits = firmwareSupported(image);
  facts.writeProtected = (image[addr::kWriteProtect] & 0x01) != 0;
  facts.checksumRight = calculatechecksum(image) == image[addr::kChecksum];
  return facts;
}

QString typeName(const DeviceFacts& facts) {
  switch (facts.typeCode) {
    case devicetype::kTransmitter:
      return QStringLiteral("Sender");
    case devicetype::kReceiver:
      return QStringLiteral("Empfänger");
    default:
      return QStringLiteral("unbekannt (%1)").arg(facts.typeCode);
  }
}

namespace {

QJsonValue orNull(const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); }

QJsonObject deviceObject(const DeviceFacts& facts) {
  QString type = QStringLiteral("unknown");
  if (facts.typeCode == devicetype::kTransmitter) type = QStringLiteral("transmitter");
  if (facts.typeCode == devicetype::kReceiver) type = QStringLiteral("receiver");
  return QJsonObject{
      {QStringLiteral("type"), type},
      {QStringLiteral("typeCode"), facts.typeCode},
      {QStringLiteral("serialNumber"), facts.serialNumber >= 0 ? QJsonValue(facts.serialNumber) : QJsonValue()},
      {QStringLiteral("firmware"), facts.firmware},
      {QStringLiteral("firmwareFits"), facts.firmwareFits},
      {QStringLiteral("writeProtected"), facts.writeProtected},
      {QStringLiteral("checksumRight"), facts.checksumRight},
  };
}

}  // namespace

QString resultName(const Report& report) {
  if (report.interruptedBy) return QStringLiteral("interrupted");
  switch (report.status) {
    case ExitStatus::Success:
      return QStringLiteral("success");
    case ExitStatus::Usage:
      return QStringLiteral("usage");
    case ExitStatus::FileUnusable:
      return QStringLiteral("file-unusable");
    case ExitStatus::PortUnavailable:
      return QStringLiteral("port-unavailable");
    case ExitStatus::TransferError:
      return QStringLiteral("transfer-error");
    case ExitStatus::VerifyDifferences:
      return QStringLiteral("verify-differences");
    case ExitStatus::DeviceRefused:
      return QStringLiteral("device-refused");
    case ExitStatus::ChecksumWrong:
      return QStringLiteral("checksum-wrong");
  }
  return {};
}

QJsonObject jsonFrame(QJsonObject document) {
  document.insert(QStringLiteral("schema"), 1);
  document.insert(QStringLiteral("tool"), toolVersion());
  return document;
}

QByteArray toJson(const Report& report) {
  QJsonArray differences;
  for (const Difference& d : report.differences) {
    differences.append(QJsonObject{{QStringLiteral("address"), d.address},
                                   {QStringLiteral("expected"), d.expected},
                                   {QStringLiteral("actual"), d.actual}});
  }
  QJsonArray log;
  for (const LogLine& line : report.log) {
    log.append(QJsonObject{{QStringLiteral("text"), line.text},
                           {QStringLiteral("colour"), line.red ? QStringLiteral("red") : QStringLiteral("black")}});
  }
  const QJsonObject document = jsonFrame({
      {QStringLiteral("command"), orNull(report.command)},
      {QStringLiteral("result"), resultName(report)},
      {QStringLiteral("exitStatus"), report.exitCode()},
      {QStringLiteral("message"), orNull(report.message)},
      {QStringLiteral("port"), orNull(report.portGiven)},
      {QStringLiteral("portDevice"), orNull(report.portDevice)},
      {QStringLiteral("device"), report.device ? QJsonValue(deviceObject(*report.device)) : QJsonValue()},
      {QStringLiteral("backupFile"), orNull(report.backupFile)},
      {QStringLiteral("outputFile"), orNull(report.outputFile)},
      {QStringLiteral("differences"), differences},
      {QStringLiteral("log"), log},
  });
  return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

}  // namespace lk24::cli
