#include "link/FolderBackupStore.h"

#include "model/AtomicFile.h"
#include "model/Utf8Path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace lk24 {

namespace {

// The n-th name a backup may take: the given one, then "-2", "-3", ... before the suffix.
std::string candidateName(const std::string& fileName, int n) {
  if (n == 1) return fileName;
  const std::size_t dot = fileName.rfind('.');
  const std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  const std::string suffix = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
  return base + '-' + std::to_string(n) + '.' + suffix;
}

std::string inFolder(const std::string& folder, const std::string& name) {
  return utf8Name(utf8Path(folder) / utf8Path(name));
}

// Puts the finished file under the first free name without ever replacing
// a file: a backup another process wrote under the same name in the
// meantime stays as it is and this one takes the next name. link(2) does it
// in one step; where the file system has no hard links (FAT, some shares),
// the name is first claimed with an exclusive create and then filled by a
// rename of our own file onto our own claim.
std::string claimFreeName(const std::string& folder, const std::string& written, const std::string& fileName,
                          int* error) {
  bool hardLinks = true;
  for (int n = 1;; ++n) {
    const std::string path = inFolder(folder, candidateName(fileName, n));
    if (hardLinks) {
      if (::link(written.c_str(), path.c_str()) == 0) return path;
      if (errno == EEXIST) continue;
      hardLinks = false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      *error = errno;
      return {};
    }
    ::close(fd);
    if (::rename(written.c_str(), path.c_str()) == 0) return path;
    *error = errno;
    ::unlink(path.c_str());
    return {};
  }
}

// A name of the backup's own in the folder, taken with an exclusive create
// and removed again when it goes out of scope.
class ReservedName {
 public:
  explicit ReservedName(const std::string& pattern) : name_(pattern.begin(), pattern.end()) {
    name_.push_back('\0');
    const int fd = ::mkstemp(name_.data());
    error_ = fd < 0 ? errno : 0;
    if (fd < 0) return;
    // A temporary file is the owner's alone; a backup is readable like any file.
    (void)::fchmod(fd, 0644);
    ::close(fd);
  }
  ~ReservedName() {
    if (error_ == 0) ::unlink(name_.data());
  }
  ReservedName(const ReservedName&) = delete;
  ReservedName& operator=(const ReservedName&) = delete;

  int error() const { return error_; }
  std::string name() const { return name_.data(); }

 private:
  std::vector<char> name_;
  int error_ = 0;
};

std::string notWritten(const std::string& path, const std::string& cause) {
  return '"' + path + "\" kann nicht geschrieben werden (" + cause + ")";
}

}  // namespace

FolderBackupStore::FolderBackupStore(std::string templatePath) : templatePath_(std::move(templatePath)) {}

FolderBackupStore FolderBackupStore::intoFolder(std::string folder) {
  FolderBackupStore store{std::string()};
  store.folder_ = std::move(folder);
  return store;
}

BackupResult FolderBackupStore::store(const DeviceBackup& backup) {
  BackupResult result;
  std::error_code error;
  const std::string folder =
      !folder_.empty()
          ? folder_
          : utf8Name(std::filesystem::absolute(utf8Path(templatePath_), error).lexically_normal().parent_path() /
                     kBackupFolderName);
  std::filesystem::create_directories(utf8Path(folder), error);
  if (!std::filesystem::is_directory(utf8Path(folder), error)) {
    result.reason = "Ordner \"" + folder + "\" kann nicht angelegt werden";
    return result;
  }
  // Written whole under a name of its own first, so that no reader ever
  // sees half a backup under its final name.
  const ReservedName reserved(inFolder(folder, '.' + backup.fileName + ".XXXXXX"));
  if (reserved.error() != 0) {
    result.reason = notWritten(folder, std::strerror(reserved.error()));
    return result;
  }
  std::string cause;
  if (backup.lines.saveToFile(reserved.name(), &cause) != FileWriteStatus::Ok) {
    result.reason = notWritten(inFolder(folder, backup.fileName), cause);
    return result;
  }
  int claimError = 0;
  const std::string path = claimFreeName(folder, reserved.name(), backup.fileName, &claimError);
  if (path.empty()) {
    result.reason = notWritten(inFolder(folder, backup.fileName), std::strerror(claimError));
    return result;
  }
  syncFolder(folder);
  result.saved = true;
  result.path = path;
  return result;
}

}  // namespace lk24
