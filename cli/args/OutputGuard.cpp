#include "cli/args/OutputGuard.h"

#include <sys/stat.h>

namespace lk24::cli {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

std::string outputRefusal(const std::string& output, const std::string& templatePath, bool force) {
  struct stat outputStat {};
  if (::stat(output.c_str(), &outputStat) != 0) return {};  // a new file
  struct stat templateStat {};
  if (::stat(templatePath.c_str(), &templateStat) == 0 && sameFile(outputStat, templateStat)) {
    return "\"" + output + "\" ist die Vorlage \"" + templatePath + "\" und wird nie ersetzt";
  }
  if (!force) return "\"" + output + "\" gibt es schon; --force ersetzt die Datei";
  return {};
}

}  // namespace lk24::cli
