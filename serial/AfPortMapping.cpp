#include "serial/AfPortResolver.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace {

std::mutex mappingsLock;
// The mappings made for a path on a command line, by COM number.
std::map<int, std::string>& commandLineMappings() {
  static std::map<int, std::string> mappings;
  return mappings;
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
#ifdef _WIN32
  return false;  // no inode numbers to compare
#else
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
#endif
}

// Whether one of the user's own LK24_COMn variables already names path;
// the caller holds mappingsLock.
bool userMapsPath(const std::string& path) {
  for (int n = 1; n <= 256; ++n) {
    const char* value = std::getenv(("LK24_COM" + std::to_string(n)).c_str());
    if (value == nullptr || *value == '\0') continue;
    const auto ours = commandLineMappings().find(n);
    if (ours != commandLineMappings().end() && ours->second == value) continue;
    if (sameFile(value, path)) return true;
  }
  return false;
}

}  // namespace

void AfMapComPortToPath(int number, const std::string& path) {
  const std::lock_guard<std::mutex> guard(mappingsLock);
  const bool onPurpose = userMapsPath(path);
  const std::string variable = "LK24_COM" + std::to_string(number);
#ifdef _WIN32
  ::_putenv_s(variable.c_str(), path.c_str());
#else
  ::setenv(variable.c_str(), path.c_str(), 1);
#endif
  if (onPurpose) {
    commandLineMappings().erase(number);
  } else {
    commandLineMappings()[number] = path;
  }
}

bool AfMappedOnPurpose(int number, const std::string& path) {
  const std::lock_guard<std::mutex> guard(mappingsLock);
  const auto found = commandLineMappings().find(number);
  return found == commandLineMappings().end() || found->second != path;
}
