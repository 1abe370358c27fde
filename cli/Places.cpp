#include "cli/Places.h"

#include "model/DeviceBackup.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <cstdlib>

#ifndef LK24_PACKAGED_TEMPLATE
#define LK24_PACKAGED_TEMPLATE "/usr/share/lk24/LK24.ini"
#endif

namespace lk24::cli {

namespace {

bool writableFolder(const QString& path) {
  const QFileInfo info(path);
  return info.isDir() && ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

QString templateFolder(const QString& templatePath) { return QFileInfo(templatePath).absolutePath(); }

}  // namespace

QString userDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return QDir(QFile::decodeName(xdg)).filePath(QStringLiteral("lk24"));
  return QDir::home().filePath(QStringLiteral(".local/share/lk24"));
}

Place chooseTemplate(const QString& given, bool explicitlyGiven) {
  const QString packaged = QStringLiteral(LK24_PACKAGED_TEMPLATE);
  if (explicitlyGiven || QFileInfo::exists(given) || !QFileInfo::exists(packaged)) return {given, {}};
  return {packaged, QStringLiteral("keine %1 im aktuellen Verzeichnis, die installierte Vorlage \"%2\" gilt")
                        .arg(given, packaged)};
}

Place chooseBackupFolder(const QString& backupDir, const QString& templatePath) {
  if (!backupDir.isEmpty()) return {QFileInfo(backupDir).absoluteFilePath(), {}};
  const QString folderName = QString::fromLatin1(kBackupFolderName);
  const QString beside = QDir(templateFolder(templatePath)).filePath(folderName);
  const bool usable = QFileInfo::exists(beside) ? writableFolder(beside) : writableFolder(templateFolder(templatePath));
  if (usable) return {beside, {}};
  const QString fallback = QDir(userDataFolder()).filePath(folderName);
  return {fallback, QStringLiteral("\"%1\" ist nicht beschreibbar, die Sicherungen gehen nach \"%2\"").arg(beside, fallback)};
}

Place chooseLoopRecord(const QString& templatePath) {
  const QString name = QStringLiteral("Protokoll.csv");
  const QString folder = templateFolder(templatePath);
  if (writableFolder(folder)) return {QDir(folder).filePath(name), {}};
  QDir().mkpath(userDataFolder());
  return {QDir(userDataFolder()).filePath(name), {}};
}

}  // namespace lk24::cli
