#pragma once
// The main window as the device link sees it: each call is passed on to the
// control it names; the progress display paces the gauge's repaints. The
// link's UTF-8 texts become the controls' QStrings here. Main thread only.

#include "link/LinkView.h"
#include "ui/ProgressDisplay.h"

namespace lk24 {

class TForm1;

class WindowLinkView final : public LinkView, public LinkControls {
 public:
  explicit WindowLinkView(TForm1& form);

  void showinfo(const std::string& text, LogColour colour, int style) override;
  void appendPlainLine(const std::string& text) override;
  void progress(Pass pass, int byte) override;
  bool confirm(const std::string& question) override;
  void showdata() override;
  // A comparison's device is listed against the window; a held close goes ahead.
  void transferEnded(const TransferResult& result) override;
  LinkControls* controls() override { return this; }

  void scrollLogToEnd() override;
  void beep() override;
  void setProgressPanelVisible(bool visible) override;
  void setGaugeVisible(bool visible) override;
  void setGaugeProgress(int percent) override;
  void setActionText(const std::string& text) override;
  void setLeseButtonEnabled(bool enabled) override;
  void setProgButtonEnabled(bool enabled) override;
  void focusLeseButton() override;
  void focusProgButton() override;
  void setTransferMenuEnabled(bool enabled) override;
  void setComItemEnabled(int comNumber, bool enabled) override;
  void setComItemToolTip(int comNumber, const std::string& text) override;
  void setDeviceHighlight(DeviceHighlight highlight) override;
  void setEditingEnabled(bool enabled) override;

 private:
  TForm1& form_;
  ProgressDisplay progress_;
};

}  // namespace lk24
