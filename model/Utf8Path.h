#pragma once
// File names travel as UTF-8 text; the file system takes them as paths.
// (On Windows a path made from a plain std::string would read it in the
// ANSI code page instead.)

#include <filesystem>
#include <string>

namespace lk24 {

inline std::filesystem::path utf8Path(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

inline std::string utf8Name(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace lk24
