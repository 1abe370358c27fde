#include "cli/output/Output.h"

#include "cli/output/Text.h"

#include <cstdio>

namespace lk24::cli {

namespace {

void printLine(const std::string& text, std::FILE* stream) {
  const std::string shown = validUtf8(text);
  std::fwrite(shown.data(), 1, shown.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void printOut(const std::string& text) { printLine(text, stdout); }

void printErr(const std::string& text) { printLine(text, stderr); }

}  // namespace lk24::cli
