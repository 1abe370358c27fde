#include "model/DeviceBackup.h"

#include "model/TemplateFormat.h"

#include <gtest/gtest.h>

namespace lk24 {
namespace {

const QDateTime kWhen(QDate(2026, 12, 8), QTime(18, 13, 42));

TEST(DeviceBackup, NamesTheFileByTypeSerialNumberAndLocalTime) {
  const Table bytes{};
  const ConfigImage tables;
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Receiver, 4711, 1, kWhen).fileName,
            "Empfaenger-04711-20261208-181342.lk2");
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Transmitter, 65535, 1, kWhen).fileName,
            "Sender-65535-20261208-181342.lk2");
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Unknown, 0, 1, kWhen).fileName,
            "Geraet-00000-20261208-181342.lk2");
}

TEST(DeviceBackup, HoldsTheBytesAsReadBesideTheTemplateTablesAndPassesAsATemplate) {
  ConfigImage tables;
  for (int a = 0; a < kImageSize; ++a) {
    tables.FactoryImage[a] = static_cast<std::uint8_t>(a);
    tables.AndMask[a] = 0x0F;  // a merge would change every byte below
    tables.OrMask[a] = 0xF0;
    tables.DeviceImage[a] = 0x11;  // the window's image has no place in a backup
  }
  Table bytes{};
  for (int a = 0; a < kImageSize; ++a) bytes[a] = static_cast<std::uint8_t>(255 - a);
  bytes[addr::kVersionMajor] = 7;  // the refresh would stamp 1 here
  bytes[addr::kChecksum] = 0;      // and a wrong EEPROM checksum stays wrong

  const DeviceBackup backup = makeDeviceBackup(bytes, tables, BackupDeviceType::Receiver, 1, 3, kWhen);
  EXPECT_EQ(backup.lines.count(), line::kCount);
  EXPECT_EQ(parseDeviceImage(backup.lines), bytes);
  EXPECT_EQ(scanPortEntry(backup.lines, 1), 3);
  ConfigImage loaded;
  EXPECT_EQ(loadTemplateTables(backup.lines, loaded), TemplateLoad::Valid);
  EXPECT_EQ(loaded.FactoryImage, tables.FactoryImage);
  EXPECT_EQ(loaded.AndMask, tables.AndMask);
  EXPECT_EQ(loaded.OrMask, tables.OrMask);
}

}  // namespace
}  // namespace lk24
