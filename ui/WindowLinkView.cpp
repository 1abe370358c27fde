#include "ui/WindowLinkView.h"

#include "link/DeviceLink.h"
#include "ui/ConfirmBox.h"
#include "ui/MessageLog.h"
#include "ui/PieGauge.h"
#include "ui/SettingsView.h"
#include "ui/SystemBeep.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

namespace lk24 {

WindowLinkView::WindowLinkView(TForm1& form) : form_(form), progress_(form.PanProg, form.Gauge, form.Laction) {}

void WindowLinkView::showinfo(const std::string& text, LogColour colour, int style) {
  form_.showinfo(&form_, QString::fromStdString(text), colour == LogColour::Red ? clRed : clBlack, static_cast<std::uint8_t>(style));
}

void WindowLinkView::appendPlainLine(const std::string& text) { form_.appendLogLine(QString::fromStdString(text)); }

void WindowLinkView::scrollLogToEnd() { SetCaretToEnd(form_.MInfo, true); }

void WindowLinkView::beep() { SystemBeep(); }

void WindowLinkView::setProgressPanelVisible(bool visible) { progress_.setPanelVisible(visible); }

void WindowLinkView::setGaugeVisible(bool visible) { progress_.setGaugeVisible(visible); }

void WindowLinkView::setGaugeProgress(int percent) { progress_.setProgress(percent); }

void WindowLinkView::setActionText(const std::string& text) { progress_.setAction(QString::fromStdString(text)); }

void WindowLinkView::setLeseButtonEnabled(bool enabled) { form_.LeseButton->setEnabled(enabled); }

void WindowLinkView::setProgButtonEnabled(bool enabled) { form_.ProgButton->setEnabled(enabled); }

void WindowLinkView::focusLeseButton() { form_.LeseButton->setFocus(); }

void WindowLinkView::focusProgButton() { form_.ProgButton->setFocus(); }

void WindowLinkView::setTransferMenuEnabled(bool enabled) {
  form_.Datensenden1->setEnabled(enabled);
  form_.Datenempfangen1->setEnabled(enabled);
  form_.Vergleichen1->setEnabled(enabled);
}

void WindowLinkView::setComItemEnabled(int comNumber, bool enabled) {
  QAction* items[] = {form_.COM11, form_.COM21, form_.COM31, form_.COM41};
  if (comNumber >= 1 && comNumber <= 4) items[comNumber - 1]->setEnabled(enabled);
}

void WindowLinkView::setComItemToolTip(int comNumber, const std::string& text) {
  QAction* items[] = {form_.COM11, form_.COM21, form_.COM31, form_.COM41};
  if (comNumber >= 1 && comNumber <= 4) items[comNumber - 1]->setToolTip(QString::fromStdString(text));
}

void WindowLinkView::setDeviceHighlight(DeviceHighlight highlight) {
  form_.PTaktiv->setVisible(highlight == DeviceHighlight::Transmitter);
  form_.PRaktiv->setVisible(highlight == DeviceHighlight::Receiver);
}

void WindowLinkView::setEditingEnabled(bool enabled) {
  // The reduced state keeps them off for the whole run.
  const bool on = enabled && !form_.TemplateInvalid;
  form_.Settings->setInputEnabled(on);
  form_.Laden1->setEnabled(on);
  form_.Speichern1->setEnabled(on);
}

void WindowLinkView::progress(Pass pass, int byte) {
  progress_.setAction(QString::fromStdString(passName(pass)));
  progress_.setProgress(passPercent(pass, byte));
}

void WindowLinkView::transferEnded(const TransferResult& result) {
  if (result.request == Request::Compare && result.ending == TransferEnding::Done && result.deviceImage) {
    form_.showComparison(*result.deviceImage);
  }
  form_.transferEnded();
}

bool WindowLinkView::confirm(const std::string& question) { return AskYesNo(&form_, QString::fromStdString(question)); }

void WindowLinkView::showdata() { form_.showdata(); }

}  // namespace lk24
