#include "cli/Inputs.h"

#include "model/ConfigurationFile.h"
#include "model/LineList.h"
#include "model/TemplateFormat.h"


namespace lk24::cli {

namespace {

QString readProblem(FileReadStatus status) {
  switch (status) {
    case FileReadStatus::Missing:
      return QStringLiteral("nicht gefunden");
    case FileReadStatus::TooLarge:
      return QStringLiteral("größer als 1 MiB, keine LK24-Datei");
    case FileReadStatus::Unreadable:
    case FileReadStatus::Ok:
      break;
  }
  return QStringLiteral("nicht lesbar (ein Verzeichnis, keine Leserechte oder ein Lesefehler)");
}

QString quoted(const QString& path) { return QLatin1Char('"') + path + QLatin1Char('"'); }

}  // namespace

std::optional<TemplateTables> loadTemplate(const QString& path, ConfigImage& image, QString* error) {
  image.presetForStartup();
  LineList lines;
  const FileReadStatus status = lines.loadFromFile(path.toStdString());
  if (status != FileReadStatus::Ok) {
    *error = QStringLiteral("Vorlage ") + quoted(path) + QStringLiteral(" ") + readProblem(status);
    return std::nullopt;
  }
  switch (loadTemplateTables(lines, image)) {
    case TemplateLoad::Valid:
      break;
    case TemplateLoad::Malformed:
      *error = QStringLiteral("Vorlage ") + quoted(path) + QStringLiteral(" ist unvollständig oder fehlerhaft");
      return std::nullopt;
    case TemplateLoad::ChecksumMismatch:
      *error = QStringLiteral("falsche Vorlage ") + quoted(path) + QStringLiteral(": Prüfsumme stimmt nicht");
      return std::nullopt;
  }
  TemplateTables tables;
  tables.port = scanPortEntry(lines, 1);
  tables.path = path;
  return tables;
}

std::optional<Table> loadConfiguration(const QString& path, QString* error) {
  const ConfigurationFileLoad load = readConfigurationFile(path.toStdString());
  if (load.ok) return load.deviceImage;
  *error = QStringLiteral(" Fehler bei \"Datei laden!\": ") + quoted(path) + QStringLiteral(" ") +
           (load.readStatus == FileReadStatus::Ok ? QStringLiteral("ist keine LK24-Konfiguration (Zeilen 256 bis 511)")
                                                  : readProblem(load.readStatus));
  return std::nullopt;
}

}  // namespace lk24::cli
