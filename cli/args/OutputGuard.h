#pragma once
// What lk24ctl may write to (read -o, report -o, --record): never the
// template in use nor a file the same command reads, only a plain file, and
// an existing one replaced only when the user said so with --force.

#include <string>
#include <vector>

namespace lk24::cli {

// How the command writes the file: replaces it whole, or adds rows to it.
enum class WriteKind { Replace, Append };

// A file the command must not write, with what it is to the command
// ("die Vorlage", "die Eingabe") for the refusal.
struct KeptFile {
  std::string path;
  std::string role;
};

// Why target must not be written, or empty when it may. Compares the files
// themselves, so a symlink, a hard link or another spelling of a kept file
// is that file.
std::string writeRefusal(const std::string& target, const std::vector<KeptFile>& kept, WriteKind kind, bool force);

}  // namespace lk24::cli
