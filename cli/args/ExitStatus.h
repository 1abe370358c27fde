#pragma once
// What lk24ctl's exit status says; scripts and the production line test it.

namespace lk24::cli {

enum class ExitStatus : int {
  Success = 0,
  Usage = 1,              // unknown option, missing argument
  FileUnusable = 2,       // template or configuration file missing, malformed, not writable
  PortUnavailable = 3,    // the port cannot be opened
  TransferError = 4,      // no answer, or no matching answer
  VerifyDifferences = 5,  // the device holds other bytes than expected
  DeviceRefused = 6,      // write protection or an unsupported firmware
  ChecksumWrong = 7,      // the device's EEPROM checksum does not match
};

// Shells report a process ended by a signal as 128 + its number; an
// interrupted read ends the same way.
constexpr int kInterruptedBase = 128;

inline int code(ExitStatus status) { return static_cast<int>(status); }

}  // namespace lk24::cli
