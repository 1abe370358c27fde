#pragma once
// What one command found out, for the text on the terminal and for the one
// JSON document of --json.

#include "cli/session/CommandView.h"
#include "cli/args/ExitStatus.h"
#include "cli/output/Json.h"
#include "model/ConfigImage.h"

#include <optional>
#include <string>
#include <vector>

namespace lk24::cli {

// The device as its EEPROM image describes it.
struct DeviceFacts {
  int typeCode = 0;      // byte 253: 10 transmitter, 20 receiver
  int serialNumber = -1;  // the serial number of its type; -1 for an unknown type
  std::string firmware;   // "1.05"
  bool firmwareFits = false;
  bool writeProtected = false;
  bool checksumRight = false;
};
DeviceFacts factsOf(const Table& image);
// "Sender", "Empfänger" or "unbekannt (N)".
std::string typeName(const DeviceFacts& facts);
// A device type's words: shown (null for an unknown type), in JSON, in the record.
struct TypeWords {
  const char* shown;
  const char* json;
  const char* record;
};
TypeWords typeWords(int typeCode);

struct Difference {
  int address;
  int expected;  // what program would write
  int actual;    // what the device holds
};

struct Report {
  std::string command;
  ExitStatus status = ExitStatus::Success;
  int interruptedBy = 0;   // the signal that cut the command short, or 0
  std::string message;     // the cause of a failure, in German; empty on success
  std::string portGiven;
  std::string templateGiven;  // --template as given, empty without it
  std::string portDevice;  // the device the port resolved to
  int portNumber = 0;     // the COM number it was opened as
  std::optional<DeviceFacts> device;
  std::string backupFile;
  std::string outputFile;
  std::vector<Difference> differences;
  std::vector<LogLine> log;

  int exitCode() const { return interruptedBy ? kInterruptedBase + interruptedBy : code(status); }
};

// One line of compact JSON, with the schema's number and the tool's version.
std::string toJson(const Report& report);
// The same frame around any other document of lk24ctl.
json::Object jsonFrame(json::Object document);
// The result's word in JSON ("success", "usage", ...).
std::string resultName(const Report& report);
// The result's words in JSON and in the record ("ok", "verify-difference", ...).
struct ResultWords {
  const char* json;
  const char* record;
};
ResultWords resultWords(const Report& report);

}  // namespace lk24::cli
