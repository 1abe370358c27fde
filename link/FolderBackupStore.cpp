#include "link/FolderBackupStore.h"

#include <QDir>
#include <QFileInfo>

namespace lk24 {

namespace {

// A file name not yet used in folder: the given one, else with "-2", "-3", ...
QString freeName(const QDir& folder, const QString& fileName) {
  const QFileInfo info(fileName);
  QString candidate = fileName;
  for (int n = 2; folder.exists(candidate); ++n) {
    candidate = info.completeBaseName() + QStringLiteral("-%1.").arg(n) + info.suffix();
  }
  return candidate;
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
  const QString templateFolder = QFileInfo(QString::fromLocal8Bit(templatePath_.c_str())).absolutePath();
  const QString folderPath = !folder_.empty() ? QString::fromLocal8Bit(folder_.c_str())
                                              : QDir(templateFolder).filePath(QString::fromLatin1(kBackupFolderName));
  if (!QDir().mkpath(folderPath) || !QFileInfo(folderPath).isDir()) {
    result.reason = QStringLiteral("Ordner \"%1\" kann nicht angelegt werden").arg(folderPath);
    return result;
  }
  const QDir folder(folderPath);
  const QString path = folder.filePath(freeName(folder, QString::fromStdString(backup.fileName)));
  std::string cause;
  if (backup.lines.saveToFile(path.toLocal8Bit().toStdString(), &cause) != FileWriteStatus::Ok) {
    result.reason = QStringLiteral("\"%1\" kann nicht geschrieben werden (%2)").arg(path, QString::fromStdString(cause));
    return result;
  }
  result.saved = true;
  result.path = path;
  return result;
}

}  // namespace lk24
