#pragma once
// What one command found out, for the text on the terminal and for the one
// JSON document of --json.

#include "cli/CommandView.h"
#include "cli/ExitStatus.h"
#include "model/ConfigImage.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace lk24::cli {

// The device as its EEPROM image describes it.
struct DeviceFacts {
  int typeCode = 0;      // byte 253: 10 transmitter, 20 receiver
  int serialNumber = -1;  // the serial number of its type; -1 for an unknown type
  QString firmware;       // "1.05"
  bool firmwareFits = false;
  bool writeProtected = false;
  bool checksumRight = false;
};
DeviceFacts factsOf(const Table& image);
// "Sender", "Empfänger" or "unbekannt (N)".
QString typeName(const DeviceFacts& facts);

struct Difference {
  int address;
  int expected;  // what program would write
  int actual;    // what the device holds
};

struct Report {
  QString command;
  ExitStatus status = ExitStatus::Success;
  int interruptedBy = 0;  // the signal that cut the command short, or 0
  QString message;        // the cause of a failure, in German; empty on success
  QString portGiven;
  QString portDevice;     // the device the port resolved to
  int portNumber = 0;     // the COM number it was opened as
  std::optional<DeviceFacts> device;
  QString backupFile;
  QString outputFile;
  std::vector<Difference> differences;
  std::vector<LogLine> log;

  int exitCode() const { return interruptedBy ? kInterruptedBase + interruptedBy : code(status); }
};

// One line of compact JSON, with the schema's number and the tool's version.
QByteArray toJson(const Report& report);
// The same frame around any other document of lk24ctl.
QJsonObject jsonFrame(QJsonObject document);
// The result's word in JSON ("success", "usage", ...).
QString resultName(const Report& report);

}  // namespace lk24::cli
