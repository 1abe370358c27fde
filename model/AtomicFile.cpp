#include "model/AtomicFile.h"

#include "model/Utf8Path.h"

#include <cerrno>
#include <cstring>
#include <random>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lk24 {

namespace {

// The temporary file's name: the file's own name and six random characters,
// so that a leftover from a crash still says whose it was.
std::string temporaryName(const std::string& target) {
  static constexpr std::string_view kChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kChars.size() - 1);
  std::string name = target + '.';
  for (int i = 0; i < 6; ++i) name += kChars[pick(random)];
  return name;
}

constexpr int kNameAttempts = 100;

}  // namespace

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
  return text;
}

FileWriteStatus statusOf(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileWriteStatus::DiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileWriteStatus::NoPermission;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return FileWriteStatus::NoFolder;
    case ERROR_DIRECTORY:
      return FileWriteStatus::IsFolder;
    default:
      return FileWriteStatus::Failed;
  }
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view data, std::string* reason,
                         FileWriteStatus* status) {
  if (status) *status = FileWriteStatus::Ok;
  const auto failed = [reason, status](DWORD error) {
    if (reason) *reason = std::system_category().message(static_cast<int>(error));
    if (status) *status = statusOf(error);
    return false;
  };
  const std::wstring target = wide(path);
  // Renaming over a folder would only say "access denied".
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return failed(ERROR_DIRECTORY);
  std::wstring temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = wide(temporaryName(path));
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return failed(GetLastError());
  }
  if (file == INVALID_HANDLE_VALUE) return failed(ERROR_FILE_EXISTS);
  DWORD error = 0;
  for (std::size_t done = 0; done < data.size() && error == 0;) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data.data() + done, chunk, &written, nullptr)) error = GetLastError();
    else if (written == 0) error = ERROR_WRITE_FAULT;
    done += written;
  }
  if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
  CloseHandle(file);
  if (error == 0 &&
      !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != 0) {
    DeleteFileW(temporary.c_str());
    return failed(error);
  }
  return true;
}

// MOVEFILE_WRITE_THROUGH has already made the new name durable.
void syncFolder(const std::string& /*folder*/) {}

#else

namespace {

// The file a symbolic link leads to, through up to 128 links; the name
// itself when it is no link or the chain cannot be followed.
std::string resolvedTarget(const std::string& path) {
  std::filesystem::path target = utf8Path(path);
  std::error_code error;
  for (int depth = 0; depth < 128 && std::filesystem::is_symlink(target, error); ++depth) {
    const std::filesystem::path next = std::filesystem::read_symlink(target, error);
    if (error) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return utf8Name(target);
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

FileWriteStatus statusOf(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileWriteStatus::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileWriteStatus::NoPermission;
    case EISDIR:
      return FileWriteStatus::IsFolder;
    case ENOENT:
    case ENOTDIR:
      return FileWriteStatus::NoFolder;
    default:
      return FileWriteStatus::Failed;
  }
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view data, std::string* reason,
                         FileWriteStatus* status) {
  if (status) *status = FileWriteStatus::Ok;
  const auto failed = [reason, status](int error) {
    if (reason) *reason = std::strerror(error);
    if (status) *status = statusOf(error);
    return false;
  };
  const std::string target = resolvedTarget(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A file the user may not write is not replaced behind its back.
  if (exists && ::access(target.c_str(), W_OK) != 0) return failed(errno);
  if (exists && S_ISDIR(existing.st_mode)) return failed(EISDIR);

  // Until it has the old file's mode, nobody else may read the new one.
  const mode_t createMode = exists ? 0600 : 0666;
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
    temporary = temporaryName(target);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (fd < 0 && errno != EEXIST) return failed(errno);
  }
  if (fd < 0) return failed(EEXIST);
  if (exists) {
    (void)::fchmod(fd, existing.st_mode & 07777);
    // The group too, where the user may give it; the owner is the writer.
    (void)::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
  }
  bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return failed(error);
  }
  syncFolder(utf8Name(utf8Path(target).parent_path()));
  return true;
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

#endif

}  // namespace lk24
