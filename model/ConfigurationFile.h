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
  int lineCount = 0;  // of the file as read
};

ConfigurationFileLoad readConfigurationFile(const std::string& path);

// Why a load failed, in the user's words, with a line numbered as an editor
// counts it: "nicht gefunden", "... Zeile 301 ist kein Wert 0 bis 255";
// empty for a load that succeeded.
std::string configurationProblem(const ConfigurationFileLoad& load);

}  // namespace lk24
