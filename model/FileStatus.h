#pragma once
// Why a file could not be read or written, and the words the user is told:
// the cause in terms of what to do about it (free space, rights, the name).

#include <string>

namespace lk24 {

enum class FileReadStatus {
  Ok,
  Missing,     // no file at that path
  Unreadable,  // a directory, a device, no permission, or a read error
  TooLarge,    // more than kMaxFileBytes; refused before it is read whole
};

// On every status but Ok an old file stays intact.
enum class FileWriteStatus {
  Ok,
  DiskFull,      // no space left, a quota or a size limit reached
  NoPermission,  // the file or its folder may not be written, or is read-only
  IsFolder,      // the name is a folder's
  NoFolder,      // the folder of the name does not exist
  Failed,        // any other cause: create, write, flush or rename failed
};

// "nicht gefunden", "größer als 1 MiB, keine LK24-Datei", ...
std::string fileReadProblem(FileReadStatus status);
// "Datenträger voll", "keine Schreibrechte", ...; empty for Ok.
std::string fileWriteProblem(FileWriteStatus status);

}  // namespace lk24
