#pragma once
// The device link's view for the command line: it keeps the log the window
// would show, turns the gauge into a progress line, answers the program
// question with Yes (the command itself is the user's Yes) and runs the
// refresh's image corrections where the window refreshes. Main thread only.
// The one place that takes the link's texts in whatever type LinkView has.

#include "link/LinkView.h"
#include "model/ConfigImage.h"

#include <functional>
#include <string>
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
  // Whether an entry with exactly this text, or starting with it, was logged.
  bool logged(const std::string& text) const;
  bool loggedStartingWith(const std::string& prefix) const;
  // Whether the read pass of the request (a plain read or a program run's
  // pre-read) received all 256 bytes.
  bool readPassCompleted() const { return readBytes_ >= kImageSize; }
  // The device's image as the verify pass of a program run read it back,
  // before the refresh corrects anything; empty until that pass completed.
  const std::optional<Table>& readBack() const { return readBack_; }

  // Adds a line of the command's own to the log.
  void addEntry(const std::string& text, bool red);

  void showinfo(const std::string& text, LogColour colour, int style) override;
  void appendPlainLine(const std::string& text) override;
  void scrollLogToEnd() override {}
  // Every beep of the link comes with a red entry, which says more.
  void beep() override {}
  void setProgressPanelVisible(bool visible) override;
  void setGaugeVisible(bool) override {}
  void setGaugeProgress(int percent) override;
  void setActionText(const std::string& text) override;
  void setLeseButtonEnabled(bool) override {}
  void setProgButtonEnabled(bool) override {}
  void focusLeseButton() override {}
  void focusProgButton() override {}
  void setTransferMenuEnabled(bool) override {}
  void setComItemEnabled(int, bool) override {}
  void setDeviceHighlight(DeviceHighlight) override {}
  bool confirm(const std::string&) override { return true; }
  void showdata() override;

 private:
  void add(LogLine line);

  ConfigImage& image_;
  ProgressLine* progress_;
  std::function<void(const LogLine&)> echo_;
  std::vector<LogLine> log_;
  std::string pass_;
  int readBytes_ = 0;
  int verifyBytes_ = 0;
  std::optional<Table> readBack_;
};

}  // namespace lk24::cli
