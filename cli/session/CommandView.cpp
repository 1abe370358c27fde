#include "cli/session/CommandView.h"

#include "cli/output/ProgressLine.h"
#include "editor/ImageCorrections.h"
#include "link/DeviceLink.h"

namespace lk24::cli {

CommandView::CommandView(ConfigImage& image, ProgressLine* progress, std::function<void(const LogLine&)> echo)
    : image_(image), progress_(progress), echo_(std::move(echo)) {}

void CommandView::add(LogLine line) {
  if (progress_) progress_->clear();
  if (echo_) echo_(line);
  log_.push_back(std::move(line));
}

void CommandView::addEntry(const std::string& text, bool red) { add({text, red, false}); }

void CommandView::showinfo(const std::string& text, LogColour colour, int /*style*/) {
  add({text, colour == LogColour::Red, false});
}

void CommandView::appendPlainLine(const std::string& text) {
  // The empty line after a recognition only spaces the window's log.
  if (!text.empty()) add({text, false, true});
}

void CommandView::progress(Pass pass, int byte) {
  if (progress_) progress_->show(passName(pass), passPercent(pass, byte));
}

void CommandView::showdata() {
  // The window's refresh corrects the image on its way; the beep that may
  // come with it says nothing a command line could show.
  (void)applyImageCorrections(image_.DeviceImage);
}

void CommandView::transferEnded(const TransferResult& result) {
  // The window hides its progress panel here.
  if (progress_) progress_->clear();
  result_ = result;
}

}  // namespace lk24::cli
