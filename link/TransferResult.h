#pragma once
// How one request to the device ended, as data: what was asked, how it
// ended and with which details, the device's image as it was read and the
// backup a program run wrote. The link hands one of these to its view at
// the end of every request, so that callers decide by it and never by the
// wording of a log line. New facts go in as new members; callers read only
// the ones they know.

#include "model/ConfigImage.h"

#include <optional>
#include <string>
#include <vector>

namespace lk24 {

enum class Request { Read, Compare, Program, Restore };

// The three passes over the device's bytes.
enum class Pass { Read, Write, Verify };

enum class TransferEnding {
  Done,
  Declined,           // the overwrite question was answered No; the port was not opened
  Refused,            // nothing written: `refusals` says why
  VerifyDifferences,  // written, but the read-back differs: `differences`
  TransferError,      // no matching answer to the command for `failedByte` in `failedPass`,
                      // or `extraBytes` beyond it (`loopback`: the command came back)
  DisturbedLine,      // two reads of `failedByte` gave different values: `disturbance`
  PortNotOpened,      // `portFailure` names the cause when the port gave one
  BackupFailed,       // the device's image could not be kept, so nothing was written
  Interrupted,        // ended from outside: cancel() before the first write, or closeport()
};

enum class Refusal { WriteProtected, Firmware, Type, OtherDevice };

struct ByteDifference {
  int address = 0;
  int device = 0;  // what the device holds
  int wanted = 0;  // what was written
};

struct Disturbance {
  int address = 0;
  int first = 0;
  int second = 0;
};

struct TransferResult {
  Request request = Request::Read;
  TransferEnding ending = TransferEnding::Done;

  std::vector<Refusal> refusals;
  std::vector<ByteDifference> differences;
  int failedByte = 0;
  Pass failedPass = Pass::Read;
  Disturbance disturbance;
  int extraBytes = 0;
  bool loopback = false;
  std::string portFailure;
  std::string backupFailure;

  // The device's 256 bytes as the last complete pass read them (the read,
  // the pre-read or the read-back), before any refresh corrects them; its
  // type, serial number, firmware, write protection and checksum are there.
  std::optional<Table> deviceImage;
  // Where the device's image was kept before the first write; empty without one.
  std::string backupPath;
};

}  // namespace lk24
