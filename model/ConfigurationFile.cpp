#include "model/ConfigurationFile.h"

#include "model/TemplateFormat.h"

namespace lk24 {

ConfigurationFileLoad readConfigurationFile(const std::string& path) {
  ConfigurationFileLoad result;
  LineList lines;
  result.readStatus = lines.loadFromFile(path);
  if (result.readStatus != FileReadStatus::Ok) return result;
  const auto image = parseDeviceImage(lines, &result.badLine);
  if (!image) return result;
  result.deviceImage = *image;
  result.port = scanPortEntry(lines, 1);
  result.ok = true;
  return result;
}

}  // namespace lk24
