#pragma once
// The default backup store: a folder "Sicherungen" beside the template file,
// created when missing. Each backup is written atomically and never replaces
// an earlier one: a name that is taken gets "-2", "-3", ... before ".lk2".

#include "link/BackupStore.h"

#include <string>

namespace lk24 {

class FolderBackupStore final : public BackupStore {
 public:
  // The template's path as the program addresses it; a relative path is
  // resolved at each backup, so it follows the current directory like the
  // template itself.
  explicit FolderBackupStore(std::string templatePath);
  // Backups straight into folder (created when missing), wherever the template is.
  static FolderBackupStore intoFolder(std::string folder);

  BackupResult store(const DeviceBackup& backup) override;

 private:
  std::string templatePath_;
  std::string folder_;  // when set, the folder itself
};

}  // namespace lk24
