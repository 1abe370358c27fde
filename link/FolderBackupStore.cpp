#include "link/FolderBackupStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lk24 {

namespace {

// The n-th name a backup may take: the given one, then "-2", "-3", ... before the suffix.
QString candidateName(const QString& fileName, int n) {
  if (n == 1) return fileName;
  const QFileInfo info(fileName);
  return info.completeBaseName() + QStringLiteral("-%1.").arg(n) + info.suffix();
}

// Puts the finished file under the first free name without ever replacing
// a file: a backup another process wrote under the same name in the
// meantime stays as it is and this one takes the next name. link(2) does it
// in one step; where the file system has no hard links (FAT, some shares),
// the name is first claimed with an exclusive create and then filled by a
// rename of our own file onto our own claim.
QString claimFreeName(const QDir& folder, const QString& written, const QString& fileName, int* error) {
  const QByteArray source = QFile::encodeName(written);
  bool hardLinks = true;
  for (int n = 1;; ++n) {
    const QString path = folder.filePath(candidateName(fileName, n));
    const QByteArray target = QFile::encodeName(path);
    if (hardLinks) {
      if (::link(source.constData(), target.constData()) == 0) return path;
      if (errno == EEXIST) continue;
      hardLinks = false;
    }
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      *error = errno;
      return {};
    }
    ::close(fd);
    if (::rename(source.constData(), target.constData()) == 0) return path;
    *error = errno;
    ::unlink(target.constData());
    return {};
  }
}

void syncFolder(const QString& folderPath) {
  const int fd = ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
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
  const QString fileName = QString::fromStdString(backup.fileName);
  // Written whole under a name of its own first, so that no reader ever
  // sees half a backup under its final name.
  QTemporaryFile reserved(folder.filePath(QStringLiteral(".") + fileName + QStringLiteral(".XXXXXX")));
  if (!reserved.open()) {
    result.reason = QStringLiteral("\"%1\" kann nicht geschrieben werden (%2)").arg(folderPath, reserved.errorString());
    return result;
  }
  const QString written = reserved.fileName();
  reserved.close();
  // A temporary file is the owner's alone; a backup is readable like any file.
  QFile::setPermissions(written, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                     QFileDevice::ReadOther);
  std::string cause;
  if (backup.lines.saveToFile(QFile::encodeName(written).toStdString(), &cause) != FileWriteStatus::Ok) {
    result.reason = QStringLiteral("\"%1\" kann nicht geschrieben werden (%2)")
                        .arg(folder.filePath(fileName), QString::fromStdString(cause));
    return result;
  }
  int error = 0;
  const QString path = claimFreeName(folder, written, fileName, &error);
  // reserved removes the temporary name when it goes.
  if (path.isEmpty()) {
    result.reason = QStringLiteral("\"%1\" kann nicht geschrieben werden (%2)")
                        .arg(folder.filePath(fileName), QString::fromLocal8Bit(std::strerror(error)));
    return result;
  }
  syncFolder(folderPath);
  result.saved = true;
  result.path = path;
  return result;
}

}  // namespace lk24
