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

namespace {

// Each device type in the texts, in JSON, and in the record (plain ASCII, so any spreadsheet reads it).
struct TypeWordsOf {
  int typeCode;
  TypeWords words;
};
constexpr TypeWordsOf kTypeWords[] = {
    {devicetype::kTransmitter, {"Sender", "transmitter", "Sender"}},
    {devicetype::kReceiver, {"Empfänger", "receiver", "Empfaenger"}},
};

// Each status in JSON and in the record; the record has fewer words.
struct ResultWordsOf {
  ExitStatus status;
  ResultWords words;
};
constexpr ResultWordsOf kResultWords[] = {
    {ExitStatus::Success, {"success", "ok"}},
    {ExitStatus::Usage, {"usage", "transfer-error"}},
    // The device's image (backup or read file) was not kept.
    {ExitStatus::FileUnusable, {"file-unusable", "backup-failed"}},
    {ExitStatus::PortUnavailable, {"port-unavailable", "transfer-error"}},
    {ExitStatus::TransferError, {"transfer-error", "transfer-error"}},
    {ExitStatus::VerifyDifferences, {"verify-differences", "verify-difference"}},
    {ExitStatus::DeviceRefused, {"device-refused", "refused"}},
    {ExitStatus::ChecksumWrong, {"checksum-wrong", "transfer-error"}},
};

}  // namespace

TypeWords typeWords(int typeCode) {
  for (const TypeWordsOf& type : kTypeWords) {
    if (type.typeCode == typeCode) return type.words;
  }
  return {nullptr, "unknown", "Geraet"};
}

std::string typeName(const DeviceFacts& facts) {
  const TypeWords words = typeWords(facts.typeCode);
  return words.shown ? words.shown : "unbekannt (" + std::to_string(facts.typeCode) + ")";
}

ResultWords resultWords(const Report& report) {
  if (report.interruptedBy) return {"interrupted", "interrupted"};
  for (const ResultWordsOf& result : kResultWords) {
    if (result.status == report.status) return result.words;
  }
  return {"transfer-error", "transfer-error"};
}

namespace {

json::Object deviceObject(const DeviceFacts& facts) {
  return json::Object{
      {"type", typeWords(facts.typeCode).json},
      {"typeCode", facts.typeCode},
      {"serialNumber", facts.serialNumber >= 0 ? json::Value(facts.serialNumber) : json::Value()},
      {"firmware", facts.firmware},
      {"firmwareFits", facts.firmwareFits},
      {"writeProtected", facts.writeProtected},
      {"checksumRight", facts.checksumRight},
  };
}

}  // namespace

std::string resultName(const Report& report) { return resultWords(report).json; }

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
