#pragma once
// The bench's record: one CSV row (RFC 4180, UTF-8) per device a command
// touched, appended and forced to disk before the next device, so a power
// cut never loses a row that was reported. A new file starts with the header.

#include <string>
#include <vector>

namespace lk24::cli {

struct Report;

// One row, in the columns' order; texts as they go into the file.
struct RecordRow {
  std::string time;        // ISO 8601 local time with offset
  std::string station;     // host name
  std::string port;        // "COM1 /dev/ttyUSB0"
  std::string command;
  std::string type;        // Sender, Empfaenger, Geraet
  std::string serial;      // five digits, as in the backup names
  std::string firmware;
  std::string file;        // the configuration file's name
  std::string sha256;      // of that file
  std::string result;      // ok, verify-difference, refused, transfer-error, backup-failed, interrupted
  int exitStatus = 0;
  std::string backup;
  double seconds = 0;
};

// The row for what a command found; file is the configuration file it
// programmed, compared or wrote, sha256 the hash of its bytes as loaded or written.
RecordRow recordRowOf(const Report& report, const std::string& file, const std::string& sha256, double seconds);

// The line of a row, with CRLF.
std::string csvLine(const std::vector<std::string>& fields);

class RunRecord {
 public:
  RunRecord() = default;
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // Opens path for appending, writing the header when it is new or empty.
  // False with a German error naming the file.
  bool open(const std::string& path, std::string* error);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // Written, flushed and fsync'ed; false with an error when any step failed.
  bool append(const RecordRow& row, std::string* error);

 private:
  bool writeAll(const std::string& bytes, std::string* error);

  int fd_ = -1;
  std::string path_;
};

}  // namespace lk24::cli
