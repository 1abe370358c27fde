#include "cli/session/RunRecord.h"

#include "cli/session/Report.h"
#include "cli/platform/System.h"
#include "cli/output/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace lk24::cli {

namespace {

const std::vector<std::string> kHeader = {"time",     "station", "port",   "command",     "type",
                                          "serial",   "firmware", "file",  "sha256",      "result",
                                          "exit_status", "backup", "seconds"};

std::string localTimeWithOffset() {
  long offset = 0;
  const std::tm local = sys::localTime(std::time(nullptr), &offset);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  return std::string(stamp) + (offset < 0 ? "-" : "+") + zeroPadded(static_cast<int>(minutes / 60), 2) + ":" +
         zeroPadded(static_cast<int>(minutes % 60), 2);
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  return '"' + replaced(text, "\"", "\"\"") + '"';
}

std::string errnoText() { return std::strerror(errno); }

std::string oneDecimal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

}  // namespace

RecordRow recordRowOf(const Report& report, const std::string& file, const std::string& sha256, double seconds) {
  RecordRow row;
  row.time = localTimeWithOffset();
  row.station = sys::hostName();
  row.port = trimmed("COM" + std::to_string(report.portNumber) + " " + report.portDevice);
  row.command = report.command;
  row.type = typeWords(report.device ? report.device->typeCode : 0).record;
  if (report.device && report.device->serialNumber >= 0) {
    row.serial = zeroPadded(report.device->serialNumber, 5);
  }
  if (report.device) row.firmware = report.device->firmware;
  row.file = std::filesystem::path(file).filename().string();
  row.sha256 = sha256;
  row.result = resultWords(report).record;
  row.exitStatus = report.exitCode();
  row.backup = report.backupFile;
  row.seconds = seconds;
  return row;
}

std::string csvLine(const std::vector<std::string>& fields) {
  std::vector<std::string> quoted;
  for (const std::string& field : fields) quoted.push_back(csvField(validUtf8(field)));
  return join(quoted, ",") + "\r\n";
}

RunRecord::~RunRecord() {
  if (fd_ >= 0) sys::closeFile(fd_);
}

bool RunRecord::open(const std::string& path, std::string* error) {
  path_ = path;
  bool created = false;
  fd_ = sys::openForAppend(path, &created);
  if (fd_ < 0) {
    *error = "Protokoll \"" + path + "\" kann nicht geöffnet werden (" + errnoText() + ")";
    return false;
  }
  long long size = 0;
  if (!sys::isRegularFile(fd_, &size)) {
    *error = "Protokoll \"" + path + "\" ist keine gewöhnliche Datei";
    sys::closeFile(fd_);
    fd_ = -1;
    return false;
  }
  if (size == 0) {
    if (!writeAll(csvLine(kHeader), error)) {
      sys::closeFile(fd_);
      fd_ = -1;
      // A record that could not even take its header is no record.
      if (created) sys::removeFile(path);
      return false;
    }
    // The new file's name is on disk too, not only its bytes.
    sys::syncFolderOf(path);
  }
  return true;
}

bool RunRecord::append(const RecordRow& row, std::string* error) {
  if (fd_ < 0) {
    *error = "Protokoll \"" + path_ + "\" ist nicht offen";
    return false;
  }
  return writeAll(csvLine({row.time, row.station, row.port, row.command, row.type, row.serial, row.firmware,
                           row.file, row.sha256, row.result, std::to_string(row.exitStatus), row.backup,
                           oneDecimal(row.seconds)}),
                  error);
}

// One write of the whole row; whatever a failed or short write left is cut
// off again, so the file always ends with a whole row and the next row
// never runs on from half a one.
bool RunRecord::writeAll(const std::string& bytes, std::string* error) {
  long long before = 0;
  if (!sys::isRegularFile(fd_, &before)) {
    *error = "Protokoll \"" + path_ + "\" ist keine gewöhnliche Datei";
    return false;
  }
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const long long written = sys::writeSome(fd_, data, left);
    if (written <= 0) {
      *error = "Protokoll \"" + path_ + "\" kann nicht geschrieben werden (" +
               (written == 0 ? std::string("Datenträger voll") : errnoText()) + ")";
      sys::truncateFile(fd_, before);
      sys::syncFile(fd_);
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (!sys::syncFile(fd_)) {
    *error = "Protokoll \"" + path_ + "\" kann nicht gesichert werden (" + errnoText() + ")";
    sys::truncateFile(fd_, before);
    return false;
  }
  return true;
}

}  // namespace lk24::cli
