#include "model/ConfigurationFile.h"

#include "model/TemplateFormat.h"

namespace lk24 {

ConfigurationFileLoad readConfigurationFile(const std::string& path) {
  ConfigurationFileLoad result;
  LineList lines;
  result.readStatus = lines.loadFromFile(path);
  if (result.readStatus != FileReadStatus::Ok) return result;
  result.lineCount = lines.count();
  const auto image = parseDeviceImage(lines, &result.badLine);
  if (!image) return result;
  result.deviceImage = *image;
  result.port = scanPortEntry(lines, 1);
  result.ok = true;
  return result;
}

std::string configurationProblem(const ConfigurationFileLoad& load) {
  if (load.ok) return {};
  if (load.readStatus != FileReadStatus::Ok) return fileReadProblem(load.readStatus);
  std::string problem = "ist keine LK24-Konfiguration (Zeilen 256 bis 511)";
  if (load.lineCount == 0) {
    problem += ": die Datei ist leer";
  } else if (load.badLine >= load.lineCount) {
    problem += ": endet nach Zeile " + std::to_string(load.lineCount);
  } else if (load.badLine >= 0) {
    problem += ": Zeile " + std::to_string(load.badLine + 1) + " ist kein Wert 0 bis 255";
  }
  return problem;
}

}  // namespace lk24
