#include "cli/session/Report.h"

#include "cli/args/CommandLine.h"
#include "cli/output/Text.h"
#include "editor/DerivedTexts.h"
#include "editor/DeviceIdentity.h"

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
  facts.firmware = trimmed(firmwareText(image[addr::kFirmwareMajor], image[addr::kFirmwareMinor]));
  facts.firmwareFits = firmwareSupported(image);
  facts.writeProtected = (image[addr::kWriteProtect] & 0x01) != 0;
  facts.checksumRight = calculatechecksum(image) == image[addr::kChecksum];
  return facts;
}

std::string typeName(const DeviceFacts& facts) {
  switch (facts.typeCode) {
    case devicetype::kTransmitter:
      return "Sender";
    case devicetype::kReceiver:
      return "Empfänger";
    default:
      return "unbekannt (" + std::to_string(facts.typeCode) + ")";
  }
}

namespace {

json::Object deviceObject(const DeviceFacts& facts) {
  std::string type = "unknown";
  if (facts.typeCode == devicetype::kTransmitter) type = "transmitter";
  if (facts.typeCode == devicetype::kReceiver) type = "receiver";
  return json::Object{
      {"type", type},
      {"typeCode", facts.typeCode},
      {"serialNumber", facts.serialNumber >= 0 ? json::Value(facts.serialNumber) : json::Value()},
      {"firmware", facts.firmware},
      {"firmwareFits", facts.firmwareFits},
      {"writeProtected", facts.writeProtected},
      {"checksumRight", facts.checksumRight},
  };
}

}  // namespace

std::string resultName(const Report& report) {
  if (report.interruptedBy) return "interrupted";
  switch (report.status) {
    case ExitStatus::Success:
      return "success";
    case ExitStatus::Usage:
      return "usage";
    case ExitStatus::FileUnusable:
      return "file-unusable";
    case ExitStatus::PortUnavailable:
      return "port-unavailable";
    case ExitStatus::TransferError:
      return "transfer-error";
    case ExitStatus::VerifyDifferences:
      return "verify-differences";
    case ExitStatus::DeviceRefused:
      return "device-refused";
    case ExitStatus::ChecksumWrong:
      return "checksum-wrong";
  }
  return {};
}

json::Object jsonFrame(json::Object document) {
  document.insert_or_assign("schema", 1);
  document.insert_or_assign("tool", toolVersion());
  return document;
}

std::string toJson(const Report& report) {
  json::Array differences;
  for (const Difference& d : report.differences) {
    differences.push_back(json::Object{{"address", d.address}, {"expected", d.expected}, {"actual", d.actual}});
  }
  json::Array log;
  for (const LogLine& line : report.log) {
    log.push_back(json::Object{{"text", line.text}, {"colour", line.red ? "red" : "black"}});
  }
  return json::compact(jsonFrame({
      {"command", json::orNull(report.command)},
      {"result", resultName(report)},
      {"exitStatus", report.exitCode()},
      {"message", json::orNull(report.message)},
      {"port", json::orNull(report.portGiven)},
      {"portDevice", json::orNull(report.portDevice)},
      {"device", report.device ? json::Value(deviceObject(*report.device)) : json::Value()},
      {"backupFile", json::orNull(report.backupFile)},
      {"outputFile", json::orNull(report.outputFile)},
      {"differences", differences},
      {"log", log},
  }));
}

}  // namespace lk24::cli
