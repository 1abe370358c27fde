#pragma once
// A backup store that keeps every backup in memory, or refuses with a reason.

#include "link/BackupStore.h"

#include <functional>
#include <optional>
#include <vector>

namespace lk24::test {

class MemoryBackupStore final : public BackupStore {
 public:
  // Shared with the test, which keeps a pointer after handing the store over.
  std::vector<DeviceBackup> kept;
  std::optional<QString> refuseWith;
  std::function<void()> whenStored;  // lets a test look at the line at that moment

  static QString pathOf(const DeviceBackup& backup) {
    return QStringLiteral("/backups/") + QString::fromStdString(backup.fileName);
  }

  BackupResult store(const DeviceBackup& backup) override {
    if (whenStored) whenStored();
    if (refuseWith) return {false, QString(), *refuseWith};
    kept.push_back(backup);
    return {true, pathOf(backup), QString()};
  }
};

}  // namespace lk24::test
