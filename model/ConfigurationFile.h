#pragma once
// Loading a configuration file (*.lk2): only its DeviceImage and its port
// entry are taken. The whole file is parsed before anything is handed back,
// so a bad file can never leave a mix of two configurations behind.

#include "model/ConfigImage.h"
#include "model/LineList.h"

#include <cstdint>
#include <string>

namespace lk24 {

struct ConfigurationFileLoad {
  bool ok = false;
  FileReadStatus readStatus = FileReadStatus::Ok;  // why reading failed, if it did
  Table deviceImage{};                             // lines 256..511
  std::uint16_t port = 1;                          // 1, then the file's port entry
  int badLine = -1;  // read but not taken: the first line (from 0) that is no byte
};

ConfigurationFileLoad readConfigurationFile(const std::string& path);

}  // namespace lk24
