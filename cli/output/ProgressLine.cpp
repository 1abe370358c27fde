#include "cli/output/ProgressLine.h"

#include <unistd.h>

#include <cstdio>

namespace lk24::cli {

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::show(const std::string& pass, int percent) {
  if (!enabled_ || (pass == pass_ && percent == percent_)) return;
  pass_ = pass;
  percent_ = percent;
  std::fprintf(stderr, "\r\033[K%-6s %3d %%", pass.c_str(), percent);
  std::fflush(stderr);
  visible_ = true;
}

void ProgressLine::clear() {
  if (!visible_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  visible_ = false;
  pass_.clear();
  percent_ = -1;
}

}  // namespace lk24::cli
