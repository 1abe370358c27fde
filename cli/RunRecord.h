#pragma once
// The bench's record: one CSV row (RFC 4180, UTF-8) per device a command
// touched, appended and forced to disk before the next device, so a power
// cut never loses a row that was reported. A new file starts with the header.

#include <QString>

#include <vector>

namespace lk24::cli {

struct Report;

// One row, in the columns' order; texts as they go into the file.
struct RecordRow {
  QString time;        // ISO 8601 local time with offset
  QString station;     // host name
  QString port;        // "COM1 /dev/ttyUSB0"
  QString command;
  QString type;        // Sender, Empfaenger, Geraet
  QString serial;      // five digits, as in the backup names
  QString firmware;
  QString file;        // the configuration file's name
  QString sha256;      // of that file
  QString result;      // ok, verify-difference, refused, transfer-error, backup-failed, interrupted
  int exitStatus = 0;
  QString backup;
  double seconds = 0;
};

// The row for what a command found; file is the configuration file it
// programmed, compared or wrote.
RecordRow recordRowOf(const Report& report, const QString& file, double seconds);

// The line of a row, with CRLF.
QByteArray csvLine(const std::vector<QString>& fields);

class RunRecord {
 public:
  RunRecord() = default;
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // Opens path for appending, writing the header when it is new or empty.
  // False with a German error naming the file.
  bool open(const QString& path, QString* error);
  bool isOpen() const { return fd_ >= 0; }
  const QString& path() const { return path_; }
  // Written, flushed and fsync'ed; false with an error when any step failed.
  bool append(const RecordRow& row, QString* error);

 private:
  bool writeAll(const QByteArray& bytes, QString* error);

  int fd_ = -1;
  QString path_;
};

}  // namespace lk24::cli
