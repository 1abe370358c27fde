#include "link/FolderBackupStore.h"

#include "model/AtomicFile.h"
#include "model/Utf8Path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <system_error>
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

#ifdef _WIN32

std::error_code lastError() { return {static_cast<int>(GetLastError()), std::system_category()}; }

// An empty file of the backup's own in the folder, under a name the system
// makes unique.
std::error_code reserveName(const std::string& folder, const std::string& /*fileName*/, std::string* name) {
  wchar_t path[MAX_PATH];
  if (GetTempFileNameW(utf8Path(folder).c_str(), L"lk2", 0, path) == 0) return lastError();
  *name = utf8Name(std::filesystem::path(path));
  return {};
}

void removeFile(const std::string& name) { DeleteFileW(utf8Path(name).c_str()); }

// Gives written the name path unless a file has that name (taken): a move
// without MOVEFILE_REPLACE_EXISTING never replaces one.
std::error_code publishAs(const std::string& written, const std::string& path, bool& /*hardLinks*/, bool& taken) {
  taken = false;
  if (MoveFileExW(utf8Path(written).c_str(), utf8Path(path).c_str(), MOVEFILE_WRITE_THROUGH)) return {};
  const DWORD error = GetLastError();
  taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
  return taken ? std::error_code() : std::error_code(static_cast<int>(error), std::system_category());
}

#else

std::error_code lastError() { return {errno, std::generic_category()}; }

// An empty file of the backup's own in the folder, taken with an exclusive create.
std::error_code reserveName(const std::string& folder, const std::string& fileName, std::string* name) {
  const std::string pattern = inFolder(folder, '.' + fileName + ".XXXXXX");
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd < 0) return lastError();
  // A temporary file is the owner's alone; a backup is readable like any file.
  (void)::fchmod(fd, 0644);
  ::close(fd);
  *name = buffer.data();
  return {};
}

void removeFile(const std::string& name) { ::unlink(name.c_str()); }

// Gives written the name path unless a file has that name (taken). link(2)
// does it in one step; where the file system has no hard links (FAT, some
// shares), the name is first claimed with an exclusive create and then
// filled by a rename of our own file onto our own claim.
std::error_code publishAs(const std::string& written, const std::string& path, bool& hardLinks, bool& taken) {
  taken = false;
  if (hardLinks) {
    if (::link(written.c_str(), path.c_str()) == 0) return {};
    if (errno == EEXIST) {
      taken = true;
      return {};
    }
    hardLinks = false;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    taken = errno == EEXIST;
    return taken ? std::error_code() : lastError();
  }
  ::close(fd);
  if (::rename(written.c_str(), path.c_str()) == 0) return {};
  const std::error_code error = lastError();
  ::unlink(path.c_str());
  return error;
}

#endif

// Puts the finished file under the first free name without ever replacing
// a file: a backup another process wrote under the same name in the
// meantime stays as it is and this one takes the next name.
std::string claimFreeName(const std::string& folder, const std::string& written, const std::string& fileName,
                          std::error_code* error) {
  bool hardLinks = true;
  for (int n = 1;; ++n) {
    const std::string path = inFolder(folder, candidateName(fileName, n));
    bool taken = false;
    *error = publishAs(written, path, hardLinks, taken);
    if (*error) return {};
    if (!taken) return path;
  }
}

// The reserved name, removed again when it goes out of scope.
class ReservedName {
 public:
  ReservedName(const std::string& folder, const std::string& fileName)
      : error_(reserveName(folder, fileName, &name_)) {}
  ~ReservedName() {
    if (!error_) removeFile(name_);
  }
  ReservedName(const ReservedName&) = delete;
  ReservedName& operator=(const ReservedName&) = delete;

  const std::error_code& error() const { return error_; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::error_code error_;
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
  const ReservedName reserved(folder, backup.fileName);
  if (reserved.error()) {
    result.reason = notWritten(folder, reserved.error().message());
    return result;
  }
  std::string cause;
  if (backup.lines.saveToFile(reserved.name(), &cause) != FileWriteStatus::Ok) {
    result.reason = notWritten(inFolder(folder, backup.fileName), cause);
    return result;
  }
  std::error_code claimError;
  const std::string path = claimFreeName(folder, reserved.name(), backup.fileName, &claimError);
  if (path.empty()) {
    result.reason = notWritten(inFolder(folder, backup.fileName), claimError.message());
    return result;
  }
  syncFolder(folder);
  result.saved = true;
  result.path = path;
  return result;
}

}  // namespace lk24
