#include "model/DeviceBackup.h"

#include "model/TemplateFormat.h"

#include <QString>

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
                              const QDateTime& localTime) {
  ConfigImage tables = templateTables;
  tables.DeviceImage = deviceBytes;
  DeviceBackup backup;
  backup.fileName = QStringLiteral("%1-%2-%3.lk2")
                        .arg(QString::fromLatin1(typeWord(type)))
                        .arg(serialNumber, 5, 10, QLatin1Char('0'))
                        .arg(localTime.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                        .toStdString();
  backup.lines = fileLines(tables, comNumber, kUnknownText, kUnknownText);
  return backup;
}

}  // namespace lk24
