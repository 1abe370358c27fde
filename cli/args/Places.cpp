#include "cli/args/Places.h"

#include "cli/platform/System.h"
#include "model/DeviceBackup.h"

#include <filesystem>

namespace lk24::cli {

namespace fs = std::filesystem;

namespace {

// Without "." and ".." steps, doubled or trailing separators: the form the
// notices have always shown.
std::string clean(const fs::path& path) {
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text.empty() ? std::string(".") : text;
}

// Absolute and clean; a folder named with a trailing separator keeps it.
std::string absolute(const std::string& path) {
  std::error_code ignored;
  std::string text = clean(fs::absolute(path, ignored));
  if (!path.empty() && path.back() == '/' && text != "/") text += '/';
  return text;
}

// The separator the system's own paths show.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// name inside folder, which is taken as it is but for one trailing separator.
std::string inFolder(std::string folder, const std::string& name) {
  if (folder.size() > 1 && folder.back() == kSeparator) folder.pop_back();
  if (folder.empty() || folder.back() == kSeparator) return folder + name;
  return folder + kSeparator + name;
}

bool exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}


std::string templateFolder(const std::string& templatePath) { return clean(fs::path(absolute(templatePath)).parent_path()); }


}  // namespace

std::string userDataFolder() { return inFolder(sys::dataHome(), "lk24"); }

Place chooseTemplate(const std::string& given, bool explicitlyGiven) {
  const std::string packaged = sys::packagedTemplate();
  if (explicitlyGiven || exists(given) || !exists(packaged)) return {given, {}};
  return {packaged, "keine " + given + " im aktuellen Verzeichnis, die installierte Vorlage \"" + packaged + "\" gilt"};
}

Place chooseBackupFolder(const std::string& backupDir, const std::string& templatePath) {
  if (!backupDir.empty()) return {absolute(backupDir), {}};
  const std::string beside = inFolder(templateFolder(templatePath), kBackupFolderName);
  const bool usable = exists(beside) ? sys::writableFolder(beside) : sys::writableFolder(templateFolder(templatePath));
  if (usable) return {beside, {}};
  const std::string fallback = inFolder(userDataFolder(), kBackupFolderName);
  return {fallback, "\"" + beside + "\" ist nicht beschreibbar, die Sicherungen gehen nach \"" + fallback + "\""};
}

Place chooseLoopRecord(const std::string& templatePath) {
  const std::string name = "Protokoll.csv";
  const std::string folder = templateFolder(templatePath);
  if (sys::writableFolder(folder)) return {inFolder(folder, name), {}};
  std::error_code ignored;
  fs::create_directories(userDataFolder(), ignored);
  return {inFolder(userDataFolder(), name), {}};
}

}  // namespace lk24::cli
