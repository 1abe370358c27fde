#pragma once
// Where lk24ctl finds its template and keeps its backups and its record:
// beside the template when that folder can be written, else in the user's
// data folder (~/.local/share/lk24), and the output says which.

#include <string>

namespace lk24::cli {

struct Place {
  std::string path;
  std::string notice;  // German, for stderr; empty when the usual place is taken
};

// The template: the given one, else LK24.ini here, else the packaged one
// when this folder has none.
Place chooseTemplate(const std::string& given, bool explicitlyGiven);

// The backup folder: --backup-dir as given, else "Sicherungen" beside the
// template when it can be written there, else the data folder's.
Place chooseBackupFolder(const std::string& backupDir, const std::string& templatePath);

// The production loop's record when none is given: "Protokoll.csv" beside
// the template, or in the data folder when that folder cannot be written.
Place chooseLoopRecord(const std::string& templatePath);

// ~/.local/share/lk24 (or $XDG_DATA_HOME/lk24).
std::string userDataFolder();

}  // namespace lk24::cli
