#pragma once
// The window's gauge on a terminal: one line on stderr, rewritten in place
// with the pass and its percentage. Silent when stderr is no terminal, so
// logs and pipes never see it.

#include <string>

namespace lk24::cli {

class ProgressLine {
 public:
  // enabled: false keeps it silent whatever stderr is.
  explicit ProgressLine(bool enabled);
  ~ProgressLine();

  // Main thread only.
  void show(const std::string& pass, int percent);
  // Removes the line so other output starts at the left margin.
  void clear();

 private:
  bool enabled_;
  bool visible_ = false;
  std::string pass_;
  int percent_ = -1;
};

// Whether stderr is a terminal.
bool stderrIsTerminal();

}  // namespace lk24::cli
