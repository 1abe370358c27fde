#include "cli/Output.h"

#include <cstdio>

namespace lk24::cli {

void printOut(const QString& text) {
  std::fputs(text.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void printErr(const QString& text) {
  std::fputs(text.toUtf8().constData(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace lk24::cli
