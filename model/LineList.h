#pragma once
// The line buffer in which template and configuration files are assembled
// and parsed: one entry per text line, written with CR LF after each line.

#include "model/FileStatus.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lk24 {

class LineList {
 public:
  // Template and configuration files are about 5 KB; anything over 1 MiB
  // is not one of ours and is refused without being read whole.
  static constexpr std::int64_t kMaxFileBytes = 1 << 20;

  void clear() { lines_.clear(); }
  void append(std::string line) { lines_.push_back(std::move(line)); }
  int count() const { return static_cast<int>(lines_.size()); }

  // Line i, or an empty line for an index at or beyond the end (or below 0).
  const std::string& line(int index) const;

  // Splits text into lines: CR LF, a lone LF and a lone CR each end a line.
  // A final line without an ending still counts; an ending at the very end
  // adds no empty line.
  void setText(std::string_view text);
  // All lines, each followed by CR LF.
  std::string text() const;

  // Replaces the lines with a file's content under the reading rules.
  // On any status but Ok the list is left empty.
  FileReadStatus loadFromFile(const std::string& path);
  // Writes text() to path through a temporary file and a rename, so the
  // old file is either replaced whole or left as it was. On failure the
  // status names the cause, and reason (when given) receives the system's
  // own description of it.
  FileWriteStatus saveToFile(const std::string& path, std::string* reason = nullptr) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace lk24
