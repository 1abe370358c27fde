#pragma once
// The two files a command reads before it opens the port, so that a bad one
// never sends a byte: the template (the window's reduced state is an error
// here) and the configuration file to program or compare.

#include "model/ConfigImage.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lk24::cli {

struct TemplateTables {
  std::uint16_t port = 1;  // the template's port entry, as the window takes it
  std::string path;        // as given; the backups go beside it
};

// Loads the template into image as the window's start-up does. On failure
// the error names the file and what is wrong with it.
std::optional<TemplateTables> loadTemplate(const std::string& path, ConfigImage& image, std::string* error);

// The DeviceImage of a configuration file, all or nothing, as "Laden" reads it.
std::optional<Table> loadConfiguration(const std::string& path, std::string* error);

// Why a backup does not hold a device image as it was read: its EEPROM
// checksum (byte 239) or the file's own checksum lines do not match; empty
// when both do. A restore writes every byte as it stands, so neither is mended.
std::string backupMismatch(const std::string& path, const Table& image);

}  // namespace lk24::cli
