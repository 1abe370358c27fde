#pragma once
// A backup store that keeps every backup in memory, or refuses with a reason.

#include "link/BackupStore.h"

#include <optional>
#include <vector>

namespace lk24::test {

class MemoryBackupStore final : public BackupStore {
 public:
  // Shared with the test, which keeps a pointer after handing the store over.
  std::vector<DeviceBackup> kept;
  std::optional<QString> refuseWith;

  BackupResult store(const DeviceBackup& backup) override {
    if (refuseWith) return {false, QString(), *refuseWith};
    kept.push_back(backup);
    return {true, QStringLiteral("/backups/") + QString::fromStdString(backup.fileName), QString()};
  }
};

}  // namespace lk24::test
