#pragma once
// A backup store that keeps every backup in memory, or refuses with a reason.

#include "link/BackupStore.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lk24::test {

class MemoryBackupStore final : public BackupStore {
 public:
  // Shared with the test, which keeps a pointer after handing the store over.
  std::vector<DeviceBackup> kept;
  std::optional<std::string> refuseWith;
  std::function<void()> whenStored;  // lets a test look at the line at that moment

  static std::string pathOf(const DeviceBackup& backup) { return "/backups/" + backup.fileName; }

  BackupResult store(const DeviceBackup& backup) override {
    if (whenStored) whenStored();
    if (refuseWith) return {false, std::string(), *refuseWith};
    kept.push_back(backup);
    return {true, pathOf(backup), std::string()};
  }
};

}  // namespace lk24::test
