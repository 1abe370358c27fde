#include "model/LineList.h"

#include "model/AtomicFile.h"
#include "model/Utf8Path.h"

#include <array>
#include <filesystem>
#include <fstream>

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
  const std::filesystem::path name = utf8Path(path);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(name, error);
  if (!std::filesystem::exists(status)) return FileReadStatus::Missing;
  if (!std::filesystem::is_regular_file(status)) return FileReadStatus::Unreadable;
  const std::uintmax_t size = std::filesystem::file_size(name, error);
  if (error) return FileReadStatus::Unreadable;
  if (size > static_cast<std::uintmax_t>(kMaxFileBytes)) return FileReadStatus::TooLarge;

  std::ifstream file(name, std::ios::binary);
  if (!file) return FileReadStatus::Unreadable;
  // Read one byte past the limit so a file that grew since the size check
  // is still refused rather than read whole.
  std::string data;
  std::array<char, 65536> chunk;
  while (data.size() <= static_cast<std::size_t>(kMaxFileBytes) && file) {
    file.read(chunk.data(), chunk.size());
    data.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
  }
  if (file.bad()) return FileReadStatus::Unreadable;
  if (data.size() > static_cast<std::size_t>(kMaxFileBytes)) return FileReadStatus::TooLarge;
  setText(data);
  return FileReadStatus::Ok;
}

FileWriteStatus LineList::saveToFile(const std::string& path, std::string* reason) const {
  FileWriteStatus status = FileWriteStatus::Ok;
  writeFileAtomically(path, text(), reason, &status);
  return status;
}

}  // namespace lk24
