#include "cli/RunRecord.h"

#include "cli/Report.h"
#include "cli/Sha256.h"
#include "link/DeviceIdentity.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace lk24::cli {

namespace {

const std::vector<QString> kHeader = {
    QStringLiteral("time"),   QStringLiteral("station"),  QStringLiteral("port"),   QStringLiteral("command"),
    QStringLiteral("type"),   QStringLiteral("serial"),   QStringLiteral("firmware"), QStringLiteral("file"),
    QStringLiteral("sha256"), QStringLiteral("result"),   QStringLiteral("exit_status"), QStringLiteral("backup"),
    QStringLiteral("seconds")};

QString localTimeWithOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset = local.tm_gmtoff;
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  return QString::fromLatin1(stamp) + QStringLiteral("%1%2:%3")
                                          .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                          .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                                          .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return QString::fromLocal8Bit(name);
}

// The record's own words: plain ASCII, so any spreadsheet reads them.
QString recordType(const std::optional<DeviceFacts>& device) {
  if (device && device->typeCode == devicetype::kTransmitter) return QStringLiteral("Sender");
  if (device && device->typeCode == devicetype::kReceiver) return QStringLiteral("Empfaenger");
  return QStringLiteral("Geraet");
}

QString recordResult(const Report& report) {
  if (report.interruptedBy) return QStringLiteral("interrupted");
  switch (report.status) {
    case ExitStatus::Success:
      return QStringLiteral("ok");
    case ExitStatus::VerifyDifferences:
      return QStringLiteral("verify-difference");
    case ExitStatus::DeviceRefused:
      return QStringLiteral("refused");
    case ExitStatus::FileUnusable:  // the device's image (backup or read file) was not kept
      return QStringLiteral("backup-failed");
    case ExitStatus::Usage:
    case ExitStatus::PortUnavailable:
    case ExitStatus::TransferError:
    case ExitStatus::ChecksumWrong:
      break;
  }
  return QStringLiteral("transfer-error");
}

QString csvField(const QString& text) {
  static const QString special = QStringLiteral(",\"\r\n");
  bool quote = false;
  for (QChar c : text) quote = quote || special.contains(c);
  if (!quote) return text;
  QString inner = text;
  inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

RecordRow recordRowOf(const Report& report, const QString& file, double seconds) {
  RecordRow row;
  row.time = localTimeWithOffset();
  row.station = hostName();
  row.port = QStringLiteral("COM%1 %2").arg(report.portNumber).arg(report.portDevice).trimmed();
  row.command = report.command;
  row.type = recordType(report.device);
  if (report.device && report.device->serialNumber >= 0) {
    row.serial = QStringLiteral("%1").arg(report.device->serialNumber, 5, 10, QLatin1Char('0'));
  }
  if (report.device) row.firmware = report.device->firmware;
  row.file = file.isEmpty() ? QString() : QFileInfo(file).fileName();
  if (!file.isEmpty()) row.sha256 = QString::fromStdString(sha256OfFile(file.toLocal8Bit().toStdString()));
  row.result = recordResult(report);
  row.exitStatus = report.exitCode();
  row.backup = report.backupFile;
  row.seconds = seconds;
  return row;
}

QByteArray csvLine(const std::vector<QString>& fields) {
  QStringList quoted;
  for (const QString& field : fields) quoted << csvField(field);
  return (quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

RunRecord::~RunRecord() {
  if (fd_ >= 0) ::close(fd_);
}

bool RunRecord::open(const QString& path, QString* error) {
  path_ = path;
  fd_ = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    *error = QStringLiteral("Protokoll \"%1\" kann nicht geöffnet werden (%2)").arg(path, errnoText());
    return false;
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = QStringLiteral("Protokoll \"%1\" ist keine gewöhnliche Datei").arg(path);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  if (info.st_size == 0) {
    if (!writeAll(csvLine(kHeader), error)) {
      ::close(fd_);
      fd_ = -1;
      return false;
    }
    // The new file's name is on disk too, not only its bytes.
    const int folder = ::open(QFileInfo(path).absolutePath().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
  }
  return true;
}

bool RunRecord::append(const RecordRow& row, QString* error) {
  if (fd_ < 0) {
    *error = QStringLiteral("Protokoll \"%1\" ist nicht offen").arg(path_);
    return false;
  }
  return writeAll(csvLine({row.time, row.station, row.port, row.command, row.type, row.serial, row.firmware,
                           row.file, row.sha256, row.result, QString::number(row.exitStatus), row.backup,
                           QString::number(row.seconds, 'f', 1)}),
                  error);
}

bool RunRecord::writeAll(const QByteArray& bytes, QString* error) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, static_cast<size_t>(left));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *error = QStringLiteral("Protokoll \"%1\" kann nicht geschrieben werden (%2)").arg(path_, errnoText());
      return false;
    }
    data += written;
    left -= written;
  }
  if (::fsync(fd_) != 0) {
    *error = QStringLiteral("Protokoll \"%1\" kann nicht gesichert werden (%2)").arg(path_, errnoText());
    return false;
  }
  return true;
}

}  // namespace lk24::cli
