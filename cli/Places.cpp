#include "cli/Places.h"

#include "model/DeviceBackup.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#ifndef LK24_PACKAGED_TEMPLATE
#define LK24_PACKAGED_TEMPLATE "/usr/share/lk24/LK24.ini"
#endif

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

// name inside folder, which is taken as it is but for one trailing separator.
std::string inFolder(std::string folder, const std::string& name) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

bool writableFolder(const std::string& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string templateFolder(const std::string& templatePath) { return clean(fs::path(absolute(templatePath)).parent_path()); }

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return clean(home);
  const passwd* user = ::getpwuid(::getuid());
  return user && user->pw_dir ? clean(user->pw_dir) : std::string("/");
}

}  // namespace

std::string userDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return inFolder(xdg, "lk24");
  return inFolder(homeFolder(), ".local/share/lk24");
}

Place chooseTemplate(const std::string& given, bool explicitlyGiven) {
  const std::string packaged = LK24_PACKAGED_TEMPLATE;
  if (explicitlyGiven || exists(given) || !exists(packaged)) return {given, {}};
  return {packaged, "keine " + given + " im aktuellen Verzeichnis, die installierte Vorlage \"" + packaged + "\" gilt"};
}

Place chooseBackupFolder(const std::string& backupDir, const std::string& templatePath) {
  if (!backupDir.empty()) return {absolute(backupDir), {}};
  const std::string beside = inFolder(templateFolder(templatePath), kBackupFolderName);
  const bool usable = exists(beside) ? writableFolder(beside) : writableFolder(templateFolder(templatePath));
  if (usable) return {beside, {}};
  const std::string fallback = inFolder(userDataFolder(), kBackupFolderName);
  return {fallback, "\"" + beside + "\" ist nicht beschreibbar, die Sicherungen gehen nach \"" + fallback + "\""};
}

Place chooseLoopRecord(const std::string& templatePath) {
  const std::string name = "Protokoll.csv";
  const std::string folder = templateFolder(templatePath);
  if (writableFolder(folder)) return {inFolder(folder, name), {}};
  std::error_code ignored;
  fs::create_directories(userDataFolder(), ignored);
  return {inFolder(userDataFolder(), name), {}};
}

}  // namespace lk24::cli
