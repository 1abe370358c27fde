#pragma once
// What the device link needs from whoever shows its work. LinkView is what
// every user has: the message log, the progress of a pass, the overwrite
// question, the refresh from the image and the result at the end.
// LinkControls is what only the window has: buttons, menu items, the
// progress panel and the frames of a recognised device. Every call comes
// from the main thread; texts are UTF-8.

#include "link/TransferResult.h"

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

class LinkControls;

class LinkView {
 public:
  virtual ~LinkView() = default;

  // Message log: one entry in the given colour and style (showinfo), and a
  // plain line without colour or time stamp.
  virtual void showinfo(const std::string& text, LogColour colour, int style) = 0;
  virtual void appendPlainLine(const std::string& text) = 0;

  // The device has answered for `byte` of `pass` (passPercent and passName
  // say how far that is and what to call it).
  virtual void progress(Pass pass, int byte) = 0;

  // Yes/No question; true only for Yes.
  virtual bool confirm(const std::string& question) = 0;

  // Rewrites every control from the DeviceImage (and applies the image
  // corrections that go with it).
  virtual void showdata() = 0;

  // The request has ended, however it ended; the link is idle once the
  // handler that called this has returned.
  virtual void transferEnded(const TransferResult& result) = 0;

  // The window's controls; null for a view that has none.
  virtual LinkControls* controls() { return nullptr; }
};

class LinkControls {
 public:
  virtual ~LinkControls() = default;

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
  // receive entries together, and each COM item (1..4) on its own, with what
  // it resolves to or why it cannot be opened.
  virtual void setTransferMenuEnabled(bool enabled) = 0;
  virtual void setComItemEnabled(int comNumber, bool enabled) = 0;
  virtual void setComItemToolTip(int comNumber, const std::string& text) = 0;

  virtual void setDeviceHighlight(DeviceHighlight highlight) = 0;

  // The settings panels and the file commands that change or save the image:
  // off from a request's first command to the end of its transfer, so that
  // nothing changes the image a transfer is filling or comparing.
  virtual void setEditingEnabled(bool enabled) = 0;
};

}  // namespace lk24
