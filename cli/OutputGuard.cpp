#include "cli/OutputGuard.h"

#include <sys/stat.h>

namespace lk24::cli {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

QString outputRefusal(const QString& output, const QString& templatePath, bool force) {
  struct stat outputStat {};
  if (::stat(output.toLocal8Bit().constData(), &outputStat) != 0) return {};  // a new file
  struct stat templateStat {};
  if (::stat(templatePath.toLocal8Bit().constData(), &templateStat) == 0 && sameFile(outputStat, templateStat)) {
    return QStringLiteral("\"%1\" ist die Vorlage \"%2\" und wird nie ersetzt").arg(output, templatePath);
  }
  if (!force) return QStringLiteral("\"%1\" gibt es schon; --force ersetzt die Datei").arg(output);
  return {};
}

}  // namespace lk24::cli
