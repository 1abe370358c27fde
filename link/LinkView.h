#pragma once
// What the device link needs from the main window. The window implements it
// by forwarding to its controls; tests implement it by recording. Every call
// comes from the main thread; texts are UTF-8.

#include "model/ConfigImage.h"

#include <string>

namespace lk24 {

enum class LogColour { Black, Red };

// Style bits of a log entry: a time-stamp line before the text, an empty
// line after it.
namespace entrystyle {
constexpr int kTimeStamp = 1;
constexpr int kEmptyLineAfter = 2;
constexpr int kError = kTimeStamp | kEmptyLineAfter;  // red
constexpr int kSuccess = kTimeStamp;                  // black
constexpr int kInfo = kTimeStamp | kEmptyLineAfter;   // black
constexpr int kNote = kEmptyLineAfter;                // red
}  // namespace entrystyle

// Which half of the window carries the lime frame of a recognised device.
enum class DeviceHighlight { None, Transmitter, Receiver };

class LinkView {
 public:
  virtual ~LinkView() = default;

  // Message log: one entry in the given colour and style (showinfo), a plain
  // line without colour or time stamp, and scrolling the newest line into view.
  virtual void showinfo(const std::string& text, LogColour colour, int style) = 0;
  virtual void appendPlainLine(const std::string& text) = 0;
  virtual void scrollLogToEnd() = 0;

  // The system's default beep.
  virtual void beep() = 0;

  // Progress display: the panel, the pie gauge in it (0..100) and the name of
  // the current pass beside it.
  virtual void setProgressPanelVisible(bool visible) = 0;
  virtual void setGaugeVisible(bool visible) = 0;
  virtual void setGaugeProgress(int percent) = 0;
  virtual void setActionText(const std::string& text) = 0;

  // The read and program buttons.
  virtual void setLeseButtonEnabled(bool enabled) = 0;
  virtual void setProgButtonEnabled(bool enabled) = 0;
  virtual void focusLeseButton() = 0;
  virtual void focusProgButton() = 0;

  // Menu entries a running transfer must not be interrupted by: the send and
  // receive entries together, and each COM item (1..4) on its own.
  virtual void setTransferMenuEnabled(bool enabled) = 0;
  virtual void setComItemEnabled(int comNumber, bool enabled) = 0;
  // What COM n resolves to, or why it cannot be opened.
  virtual void setComItemToolTip(int /*comNumber*/, const std::string& /*text*/) {}

  virtual void setDeviceHighlight(DeviceHighlight highlight) = 0;

  // The settings panels and the file commands that change or save the image:
  // off from a request's first command to the end of its transfer, so that
  // nothing changes the image a transfer is filling or comparing. A view
  // without settings ignores it.
  virtual void setEditingEnabled(bool /*enabled*/) {}

  // The transfer has ended (completed, refused or failed); the link is idle
  // once the handler that called this has returned.
  virtual void transferEnded() {}

  // A comparison has read the device's image; the DeviceImage is unchanged.
  virtual void deviceCompared(const Table& /*device*/) {}

  // Yes/No question; true only for Yes.
  virtual bool confirm(const std::string& question) = 0;

  // Rewrites every control from the DeviceImage (and applies the image
  // corrections that go with it).
  virtual void showdata() = 0;
};

}  // namespace lk24
