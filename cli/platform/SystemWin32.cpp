#include "cli/platform/System.h"

#include "serial/AfWin32Api.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace lk24::cli::sys {

std::string dataHome() {
  if (const char* local = std::getenv("LOCALAPPDATA"); local && *local) return local;
  if (const char* profile = std::getenv("USERPROFILE"); profile && *profile) {
    return std::string(profile) + "\\AppData\\Local";
  }
  return ".";
}

// The zip holds LK24.ini beside the program.
std::string packagedTemplate() {
  char name[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "LK24.ini";
  return (std::filesystem::path(name).parent_path() / "LK24.ini").string();
}

bool writableFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(path, ignored) && ::_access(path.c_str(), 2) == 0;
}

std::string hostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

std::tm localTime(std::time_t when, long* utcOffsetSeconds) {
  std::tm local{};
  ::localtime_s(&local, &when);
  std::tm copy = local;
  *utcOffsetSeconds = static_cast<long>(::_mkgmtime(&copy) - when);
  return local;
}

int openForAppend(const std::string& path, bool* created) {
  constexpr int kFlags = _O_WRONLY | _O_APPEND | _O_BINARY | _O_NOINHERIT;
  *created = false;
  const int fd = ::_open(path.c_str(), kFlags);
  if (fd >= 0 || errno != ENOENT) return fd;
  const int made = ::_open(path.c_str(), kFlags | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
  *created = made >= 0;
  return made;
}

bool isRegularFile(int fd, long long* size) {
  struct _stat64 info {};
  if (::_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
  *size = info.st_size;
  return true;
}

long long writeSome(int fd, const char* data, unsigned long long size) {
  const unsigned chunk = size > 0x40000000ULL ? 0x40000000U : static_cast<unsigned>(size);
  return ::_write(fd, data, chunk);
}

bool truncateFile(int fd, long long size) { return ::_chsize_s(fd, size) == 0; }

void removeFile(const std::string& path) { ::_unlink(path.c_str()); }

bool syncFile(int fd) { return ::_commit(fd) == 0; }

// A folder's entries are written through on Windows.
void syncFolderOf(const std::string&) {}

void closeFile(int fd) { ::_close(fd); }

}  // namespace lk24::cli::sys
