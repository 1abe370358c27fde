#include "cli/platform/System.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#ifndef LK24_PACKAGED_TEMPLATE
#define LK24_PACKAGED_TEMPLATE "/usr/share/lk24/LK24.ini"
#endif

namespace lk24::cli::sys {

namespace {

// Without "." and ".." steps, doubled or trailing separators.
std::string homeFolder() {
  std::string home = "/";
  if (const char* variable = std::getenv("HOME"); variable && *variable) {
    home = variable;
  } else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) {
    home = user->pw_dir;
  }
  std::string text = std::filesystem::path(home).lexically_normal().string();
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return xdg;
  return homeFolder() + "/.local/share";
}

std::string packagedTemplate() { return LK24_PACKAGED_TEMPLATE; }

bool writableFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(path, ignored) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::tm localTime(std::time_t when, long* utcOffsetSeconds) {
  std::tm local{};
  ::localtime_r(&when, &local);
  *utcOffsetSeconds = local.tm_gmtoff;
  return local;
}

int openForAppend(const std::string& path, bool* created) {
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  *created = false;
  for (;;) {
    const int fd = ::open(path.c_str(), kFlags);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int made = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
    if (made >= 0 || errno != EEXIST) {
      *created = made >= 0;
      return made;
    }
    // Made by someone else between the two opens: open theirs.
  }
}

bool isRegularFile(int fd, long long* size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  *size = info.st_size;
  return true;
}

long long writeSome(int fd, const char* data, unsigned long long size) {
  for (;;) {
    const ssize_t written = ::write(fd, data, size);
    if (written >= 0 || errno != EINTR) return written;
  }
}

bool truncateFile(int fd, long long size) { return ::ftruncate(fd, static_cast<off_t>(size)) == 0; }

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

bool syncFile(int fd) { return ::fsync(fd) == 0; }

void syncFolderOf(const std::string& path) {
  std::error_code ignored;
  const std::string folderPath = std::filesystem::absolute(path, ignored).parent_path().string();
  const int folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

void closeFile(int fd) { ::close(fd); }

}  // namespace lk24::cli::sys
