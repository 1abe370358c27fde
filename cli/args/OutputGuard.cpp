#include "cli/args/OutputGuard.h"

#include <filesystem>

#include <sys/stat.h>

namespace lk24::cli {

namespace {

namespace fs = std::filesystem;

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Two names of a file that does not exist yet are only alike by their path.
bool samePath(const std::string& a, const std::string& b) {
  std::error_code ignored;
  const fs::path left = fs::weakly_canonical(fs::absolute(a, ignored), ignored);
  const fs::path right = fs::weakly_canonical(fs::absolute(b, ignored), ignored);
  return !left.empty() && left == right;
}

bool isKept(const std::string& target, const struct stat* targetStat, const KeptFile& file) {
  if (file.path.empty()) return false;
  struct stat keptStat {};
  if (targetStat && ::stat(file.path.c_str(), &keptStat) == 0) return sameFile(*targetStat, keptStat);
  return samePath(target, file.path);
}

std::string quoted(const std::string& path) { return '"' + path + '"'; }

}  // namespace

std::string writeRefusal(const std::string& target, const std::vector<KeptFile>& kept, WriteKind kind, bool force) {
  struct stat targetStat {};
  const bool exists = ::stat(target.c_str(), &targetStat) == 0;
  for (const KeptFile& file : kept) {
    if (isKept(target, exists ? &targetStat : nullptr, file)) {
      return quoted(target) + " ist " + file.role + " " + quoted(file.path) + " und wird nie beschrieben";
    }
  }
  if (!exists) return {};
  // A rename over a device node, a FIFO or a socket would replace the node itself.
  if (!S_ISREG(targetStat.st_mode)) {
    return quoted(target) + " ist keine gewöhnliche Datei (ein Verzeichnis, ein Gerät, ein FIFO oder ein Socket)"
                            " und wird nie beschrieben";
  }
  if (kind == WriteKind::Replace && !force) return quoted(target) + " gibt es schon; --force ersetzt die Datei";
  return {};
}

}  // namespace lk24::cli
