#include "cli/args/Inputs.h"

#include "model/ConfigurationFile.h"
#include "model/FileStatus.h"
#include "model/LineList.h"
#include "model/TemplateFormat.h"


namespace lk24::cli {

namespace {

std::string quoted(const std::string& path) { return '"' + path + '"'; }

}  // namespace

std::optional<TemplateTables> loadTemplate(const std::string& path, ConfigImage& image, std::string* error) {
  image.presetForStartup();
  LineList lines;
  const FileReadStatus status = lines.loadFromFile(path);
  if (status != FileReadStatus::Ok) {
    *error = "Vorlage " + quoted(path) + " " + fileReadProblem(status);
    return std::nullopt;
  }
  switch (loadTemplateTables(lines, image)) {
    case TemplateLoad::Valid:
      break;
    case TemplateLoad::Malformed:
      *error = "Vorlage " + quoted(path) + " ist unvollständig oder fehlerhaft";
      return std::nullopt;
    case TemplateLoad::ChecksumMismatch:
      *error = "falsche Vorlage " + quoted(path) + ": Prüfsumme stimmt nicht";
      return std::nullopt;
  }
  TemplateTables tables;
  tables.port = scanPortEntry(lines, 1);
  tables.path = path;
  return tables;
}

std::optional<Table> loadConfiguration(const std::string& path, std::string* error) {
  const ConfigurationFileLoad load = readConfigurationFile(path);
  if (load.ok) return load.deviceImage;
  std::string problem = fileReadProblem(load.readStatus);
  if (load.readStatus == FileReadStatus::Ok) {
    problem = "ist keine LK24-Konfiguration (Zeilen 256 bis 511)";
    // Line numbers as an editor counts them, from 1.
    if (load.badLine >= 0) problem += ": Zeile " + std::to_string(load.badLine + 1) + " ist kein Wert 0 bis 255";
  }
  *error = " Fehler bei \"Datei laden!\": " + quoted(path) + " " + problem;
  return std::nullopt;
}

std::string backupMismatch(const std::string& path, const Table& image) {
  if (calculatechecksum(image) != image[addr::kChecksum]) {
    return "Sicherung " + quoted(path) + ": EEPROM-Prüfsumme (Byte 239) passt nicht zu ihrem Abbild";
  }
  LineList lines;
  ConfigImage tables;
  if (lines.loadFromFile(path) != FileReadStatus::Ok || loadTemplateTables(lines, tables) != TemplateLoad::Valid) {
    return "Sicherung " + quoted(path) + ": Prüfsumme der Datei (Zeilen 1024 und 1025) passt nicht zu ihrem Inhalt";
  }
  return {};
}

}  // namespace lk24::cli
