#include "model/DeviceBackup.h"

#include "model/LocalTime.h"
#include "model/NumberText.h"
#include "model/TemplateFormat.h"

namespace lk24 {

namespace {

const char* typeWord(BackupDeviceType type) {
  switch (type) {
    case BackupDeviceType::Transmitter:
      return "Sender";
    case BackupDeviceType::Receiver:
      return "Empfaenger";
    case BackupDeviceType::Unknown:
      break;
  }
  return "Geraet";
}

}  // namespace

DeviceBackup makeDeviceBackup(const Table& deviceBytes, const ConfigImage& templateTables,
                              BackupDeviceType type, int serialNumber, int comNumber,
                              std::chrono::system_clock::time_point moment) {
  ConfigImage tables = templateTables;
  tables.DeviceImage = deviceBytes;
  DeviceBackup backup;
  const std::tm local = localCalendarTime(moment);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  backup.fileName = std::string(typeWord(type)) + '-' + zeroPadded(serialNumber, 5) + '-' + stamp + ".lk2";
  backup.lines = fileLines(tables, comNumber, kUnknownText, kUnknownText);
  return backup;
}

}  // namespace lk24
