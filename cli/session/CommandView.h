#pragma once
// The device link's view for the command line: it keeps the log the window
// would show, turns the progress of a pass into a progress line, answers the
// program question with Yes (the command itself is the user's Yes), runs the
// refresh's image corrections where the window refreshes and keeps the
// request's result. Main thread only. The one place that takes the link's
// texts in whatever type LinkView has.

#include "link/LinkView.h"
#include "model/ConfigImage.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lk24::cli {

class ProgressLine;

struct LogLine {
  std::string text;
  bool red = false;
  bool plain = false;  // a plain line of the log (device recognition), not an entry
};

class CommandView final : public LinkView {
 public:
  // progress may be null. echo, when set, gets every log line as it comes.
  CommandView(ConfigImage& image, ProgressLine* progress, std::function<void(const LogLine&)> echo = {});

  const std::vector<LogLine>& log() const { return log_; }
  // How the last request ended; empty until one has.
  const std::optional<TransferResult>& result() const { return result_; }

  // Adds a line of the command's own to the log.
  void addEntry(const std::string& text, bool red);

  void showinfo(const std::string& text, LogColour colour, int style) override;
  void appendPlainLine(const std::string& text) override;
  void progress(Pass pass, int byte) override;
  bool confirm(const std::string&) override { return true; }
  void showdata() override;
  void transferEnded(const TransferResult& result) override;

 private:
  void add(LogLine line);

  ConfigImage& image_;
  ProgressLine* progress_;
  std::function<void(const LogLine&)> echo_;
  std::vector<LogLine> log_;
  std::optional<TransferResult> result_;
};

}  // namespace lk24::cli
