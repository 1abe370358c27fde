#pragma once
// Where a program run keeps the device's image as read before it writes
// anything. The window and lk24ctl may each give the link their own store;
// the default (FolderBackupStore) writes into "Sicherungen" beside the template.

#include "model/DeviceBackup.h"

#include <string>

namespace lk24 {

struct BackupResult {
  bool saved = false;
  std::string path;    // the file written, when saved (UTF-8)
  std::string reason;  // why nothing was written, when not saved (German, for the log)
};

class BackupStore {
 public:
  virtual ~BackupStore() = default;

  // Contract: main thread only, once per program run after the pre-read passed its checks and before the first write; never throws; a result that is not saved ends the run with nothing written.
  virtual BackupResult store(const DeviceBackup& backup) = 0;
};

}  // namespace lk24
