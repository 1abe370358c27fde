#pragma once
// The simulator's EEPROM as a configuration file (*.lk2): loaded from the
// DeviceImage lines, saved in the same format the tool writes, so a saved
// file loads back here and in the tool.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lk24::devsim {

using Eeprom = std::array<std::uint8_t, 256>;

// The image from lines 256..511 (counted from 0) of the file, or a one-line
// reason why there is none.
struct ImageLoad {
  std::optional<Eeprom> image;
  std::string error;
};
ImageLoad loadImageFile(const std::string& path);

// Writes the image as a complete configuration file on COM1, atomically.
// Empty on success, else a one-line reason.
std::string saveImageFile(const std::string& path, const Eeprom& image);

}  // namespace lk24::devsim
