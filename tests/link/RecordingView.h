#pragma once
// A LinkView that remembers everything the link shows, in order.

#include "link/DeviceLink.h"
#include "link/LinkView.h"

#include <array>
#include <ostream>
#include <string>
#include <vector>

namespace lk24::test {

struct LogEntry {
  std::string text;
  LogColour colour;
  int style;
  bool operator==(const LogEntry&) const = default;
};

class RecordingView : public LinkView, public LinkControls {
 public:
  // Everything visible in the order it happened: "beep", "info:<text>",
  // "plain:<text>", "showdata", "focus:Lese", "focus:Prog", "confirm".
  std::vector<std::string> events;
  std::vector<LogEntry> entries;
  std::vector<std::string> plainLines;
  std::vector<int> gaugeHistory;
  int beeps = 0;
  int showdataCalls = 0;
  int scrolls = 0;
  bool panelVisible = false;
  bool gaugeVisible = false;
  int gauge = -1;
  std::string action;  // start-up clears the design text
  bool leseEnabled = true;
  bool progEnabled = true;
  bool menuEnabled = true;
  bool editingEnabled = true;
  int transfersEnded = 0;
  std::vector<TransferResult> results;
  std::array<bool, 5> comEnabled{true, true, true, true, true};  // index 1..4
  std::array<std::string, 5> comToolTip;                             // index 1..4
  DeviceHighlight highlight = DeviceHighlight::None;
  bool confirmAnswer = true;
  std::vector<std::string> questions;

  void showinfo(const std::string& text, LogColour colour, int style) override {
    entries.push_back({text, colour, style});
    events.push_back("info:" + text);
  }
  void appendPlainLine(const std::string& text) override {
    plainLines.push_back(text);
    events.push_back("plain:" + text);
  }
  void scrollLogToEnd() override { ++scrolls; }
  void beep() override {
    ++beeps;
    events.push_back("beep");
  }
  void setProgressPanelVisible(bool visible) override { panelVisible = visible; }
  void setGaugeVisible(bool visible) override { gaugeVisible = visible; }
  void setGaugeProgress(int percent) override {
    gauge = percent;
    gaugeHistory.push_back(percent);
  }
  void setActionText(const std::string& text) override { action = text; }
  void progress(Pass pass, int byte) override {
    setActionText(passName(pass));
    setGaugeProgress(passPercent(pass, byte));
  }
  LinkControls* controls() override { return this; }
  void setLeseButtonEnabled(bool enabled) override { leseEnabled = enabled; }
  void setProgButtonEnabled(bool enabled) override { progEnabled = enabled; }
  void focusLeseButton() override { events.push_back("focus:Lese"); }
  void focusProgButton() override { events.push_back("focus:Prog"); }
  void setTransferMenuEnabled(bool enabled) override { menuEnabled = enabled; }
  void setComItemEnabled(int comNumber, bool enabled) override { comEnabled.at(comNumber) = enabled; }
  void setComItemToolTip(int comNumber, const std::string& text) override { comToolTip.at(comNumber) = text; }
  void setEditingEnabled(bool enabled) override { editingEnabled = enabled; }
  void transferEnded(const TransferResult& result) override {
    ++transfersEnded;
    results.push_back(result);
  }
  void setDeviceHighlight(DeviceHighlight h) override { highlight = h; }
  bool confirm(const std::string& question) override {
    questions.push_back(question);
    events.push_back("confirm");
    return confirmAnswer;
  }
  void showdata() override {
    ++showdataCalls;
    events.push_back("showdata");
  }

  // Idle as the user sees it: both buttons, every menu entry and the
  // settings usable again, progress display gone.
  bool looksIdle() const {
    return leseEnabled && progEnabled && menuEnabled && editingEnabled && !panelVisible && !gaugeVisible &&
           action.empty();
  }
  std::vector<std::string> entryTexts() const {
    std::vector<std::string> texts;
    for (const auto& e : entries) texts.push_back(e.text);
    return texts;
  }
  void clearLog() {
    events.clear();
    entries.clear();
    plainLines.clear();
    beeps = 0;
  }
};

}  // namespace lk24::test
