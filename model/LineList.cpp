#include "model/LineList.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace lk24 {

const std::string& LineList::line(int index) const {
  static const std::string kEmpty;
  if (index < 0 || index >= count()) return kEmpty;
  return lines_[static_cast<std::size_t>(index)];
}

void LineList::setText(std::string_view text) {
  lines_.clear();
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\r' || c == '\n') {
      lines_.emplace_back(text.substr(start, pos - start));
      if (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
      start = pos + 1;
    }
    ++pos;
  }
  if (start < text.size()) lines_.emplace_back(text.substr(start));
}

std::string LineList::text() const {
  std::string out;
  std::size_t size = 0;
  for (const auto& l : lines_) size += l.size() + 2;
  out.reserve(size);
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

FileReadStatus LineList::loadFromFile(const std::string& path) {
  lines_.clear();
  const QString name = QString::fromLocal8Bit(path.c_str());
  const QFileInfo info(name);
  if (!info.exists()) return FileReadStatus::Missing;
  if (!info.isFile()) return FileReadStatus::Unreadable;
  if (info.size() > kMaxFileBytes) return FileReadStatus::TooLarge;

  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) return FileReadStatus::Unreadable;
  // Read one byte past the limit so a file that grew since the size check
  // is still refused rather than read whole.
  const QByteArray data = file.read(kMaxFileBytes + 1);
  if (file.error() != QFileDevice::NoError) return FileReadStatus::Unreadable;
  if (data.size() > kMaxFileBytes) return FileReadStatus::TooLarge;
  setText(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  return FileReadStatus::Ok;
}

namespace {

// After the rename, make the directory entry itself durable.
void syncParentDirectory(const QString& name) {
  const QByteArray dir = QFile::encodeName(QFileInfo(name).absolutePath());
  const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

FileWriteStatus LineList::saveToFile(const std::string& path, std::string* reason) const {
  const QString name = QString::fromLocal8Bit(path.c_str());
  QSaveFile file(name);
  // Qt describes a failed flush only as "Unknown error"; the system's own
  // description of errno is the one a user can act on.
  const auto failed = [&file, reason] {
    const int cause = errno;
    if (reason) *reason = cause != 0 ? std::strerror(cause) : file.errorString().toStdString();
    return FileWriteStatus::Failed;
  };
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) return failed();
  const std::string data = text();
  // QSaveFile does not notice every failed write by itself: check each step.
  const qint64 written = file.write(data.data(), static_cast<qint64>(data.size()));
  if (written != static_cast<qint64>(data.size()) || !file.flush()) {
    const FileWriteStatus status = failed();
    file.cancelWriting();
    return status;
  }
  if (!file.commit()) return failed();
  syncParentDirectory(name);
  return FileWriteStatus::Ok;
}

}  // namespace lk24
