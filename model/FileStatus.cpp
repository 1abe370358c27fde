#include "model/FileStatus.h"

namespace lk24 {

std::string fileReadProblem(FileReadStatus status) {
  switch (status) {
    case FileReadStatus::Ok:
      return {};
    case FileReadStatus::Missing:
      return "nicht gefunden";
    case FileReadStatus::TooLarge:
      return "größer als 1 MiB, keine LK24-Datei";
    case FileReadStatus::Unreadable:
      break;
  }
  return "nicht lesbar (ein Verzeichnis, keine Leserechte oder ein Lesefehler)";
}

std::string fileWriteProblem(FileWriteStatus status) {
  switch (status) {
    case FileWriteStatus::Ok:
      return {};
    case FileWriteStatus::DiskFull:
      return "Datenträger voll";
    case FileWriteStatus::NoPermission:
      return "keine Schreibrechte (Datei, Ordner oder Datenträger schreibgeschützt)";
    case FileWriteStatus::IsFolder:
      return "ist ein Verzeichnis";
    case FileWriteStatus::NoFolder:
      return "Ordner nicht vorhanden";
    case FileWriteStatus::Failed:
      break;
  }
  return "Schreibfehler";
}

}  // namespace lk24
