#pragma once
// What "read" may write to: never the template in use, and an existing file
// only when the user said so with --force.

#include <string>

namespace lk24::cli {

// Why output must not be written, or empty when it may. Compares the files
// themselves, so a symlink or another spelling of the template's path is
// the template.
std::string outputRefusal(const std::string& output, const std::string& templatePath, bool force);

}  // namespace lk24::cli
