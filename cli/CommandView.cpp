#include "cli/CommandView.h"

#include "cli/ProgressLine.h"
#include "cli/Text.h"
#include "editor/ImageCorrections.h"
#include "link/LinkTexts.h"

#include <algorithm>

namespace lk24::cli {

CommandView::CommandView(ConfigImage& image, ProgressLine* progress, std::function<void(const LogLine&)> echo)
    : image_(image), progress_(progress), echo_(std::move(echo)) {}

bool CommandView::logged(const std::string& text) const {
  return std::any_of(log_.begin(), log_.end(), [&](const LogLine& line) { return line.text == text; });
}

bool CommandView::loggedStartingWith(const std::string& prefix) const {
  return std::any_of(log_.begin(), log_.end(), [&](const LogLine& line) { return startsWith(line.text, prefix); });
}

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

void CommandView::setProgressPanelVisible(bool visible) {
  if (!visible && progress_) progress_->clear();
}

void CommandView::setActionText(const std::string& text) {
  // The link names the pass once for every byte it receives in it.
  if (text == linktext::actionRead()) ++readBytes_;
  if (text == linktext::actionVerify()) ++verifyBytes_;
  pass_ = text;
}

void CommandView::setGaugeProgress(int percent) {
  if (progress_ && !pass_.empty()) progress_->show(pass_, percent);
}

void CommandView::showdata() {
  if (verifyBytes_ >= kImageSize && !readBack_) readBack_ = image_.DeviceImage;
  // The window's refresh corrects the image on its way; the beep that may
  // come with it says nothing a command line could show.
  (void)applyImageCorrections(image_.DeviceImage);
}

}  // namespace lk24::cli
