#include "model/DeviceBackup.h"

#include "model/TemplateFormat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace lk24 {
namespace {

// 2026-12-08 17:13:42 UTC, which is 18:13:42 in Central European time.
const auto kWhen = std::chrono::system_clock::from_time_t(1796750022);

// The process runs in the given time zone while it lives.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (old_) ::setenv("TZ", old_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(DeviceBackup, NamesTheFileByTypeSerialNumberAndLocalTime) {
  const TimeZone centralEurope("CET-1");
  const Table bytes{};
  const ConfigImage tables;
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Receiver, 4711, 1, kWhen).fileName,
            "Empfaenger-04711-20261208-181342.lk2");
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Transmitter, 65535, 1, kWhen).fileName,
            "Sender-65535-20261208-181342.lk2");
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Unknown, 0, 1, kWhen).fileName,
            "Geraet-00000-20261208-181342.lk2");
  // The digits are the computer's own clock, not UTC: past midnight there, the date moves on.
  const TimeZone farEast("JST-9");
  EXPECT_EQ(makeDeviceBackup(bytes, tables, BackupDeviceType::Receiver, 4711, 1, kWhen + std::chrono::hours(6)).fileName,
            "Empfaenger-04711-20261209-081342.lk2");
}

TEST(DeviceBackup, HoldsTheBytesAsReadAndPassesAsATemplate) {
  ConfigImage tables;
  tables.AndMask.fill(0x0F);  // a merge would change every byte below
  tables.OrMask.fill(0xF0);
  tables.FactoryImage.fill(0x5A);
  Table bytes{};
  for (int a = 0; a < kImageSize; ++a) bytes[a] = static_cast<std::uint8_t>(255 - a);
  bytes[addr::kVersionMajor] = 7;  // the refresh would stamp 1 here
  const DeviceBackup backup = makeDeviceBackup(bytes, tables, BackupDeviceType::Receiver, 1, 3, kWhen);
  EXPECT_EQ(parseDeviceImage(backup.lines), bytes);
  // Loaded as a template into fresh tables, it gives back the ones it was made from.
  ConfigImage loaded;
  ASSERT_EQ(loadTemplateTables(backup.lines, loaded), TemplateLoad::Valid);
  EXPECT_EQ(loaded.AndMask, tables.AndMask);
  EXPECT_EQ(loaded.OrMask, tables.OrMask);
  EXPECT_EQ(loaded.FactoryImage, tables.FactoryImage);
  EXPECT_EQ(scanPortEntry(backup.lines, 1), 3);
}

}  // namespace
}  // namespace lk24
