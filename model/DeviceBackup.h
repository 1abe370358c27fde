#pragma once
// The file that keeps what a device held before a program run overwrites it:
// a configuration file whose DeviceImage lines are the device's bytes exactly
// as read (no correction, no merge), with the template's other tables, so it
// loads with "Laden" and also passes as a template. Pure: no file is touched.

#include "model/ConfigImage.h"
#include "model/LineList.h"

#include <chrono>
#include <string>

namespace lk24 {

// The folder beside the template that holds the backups.
inline constexpr const char* kBackupFolderName = "Sicherungen";

// The device type as the file name spells it.
enum class BackupDeviceType { Transmitter, Receiver, Unknown };

struct DeviceBackup {
  std::string fileName;  // e.g. "Empfaenger-04711-20261208-181342.lk2"
  LineList lines;        // the 1040 lines
};

// templateTables supplies FactoryImage, AndMask and OrMask; its DeviceImage
// is not used. serialNumber is 0..65535; the moment names the file to the
// second, in local time.
DeviceBackup makeDeviceBackup(const Table& deviceBytes, const ConfigImage& templateTables,
                              BackupDeviceType type, int serialNumber, int comNumber,
                              std::chrono::system_clock::time_point moment);

}  // namespace lk24
