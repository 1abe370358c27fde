// TForm1's close: a close request waits for a running transfer, the session's
// end is one too, and LK24.ini is written once, with the user asked before
// the window goes without it.
#include "ui/ULK24.h"

#include "link/DeviceLink.h"
#include "model/TemplateFormat.h"
#include "serial/AfComPort.h"
#include "ui/ConfirmBox.h"
#include "ui/MessageLog.h"
#include "ui/SettingsView.h"

#include <QCloseEvent>
#include <QMetaObject>

namespace lk24 {

void TForm1::closeEvent(QCloseEvent* event) {
  if (!formClosed_ && link_->transferRunning()) {
    // Closing now would cut a program run off with the device half-written;
    // every command ends within its response time-out, so the wait is short.
    event->ignore();
    if (!closeHeld_) {
      closeHeld_ = true;
      showinfo(this, QStringLiteral("    Das Fenster schließt, wenn die Übertragung beendet ist."), clRed,
               entry::kNote);
    }
    return;
  }
  if (!formClosed_) {
    Settings->takePendingEdit();
    const QString failure = FormClose();
    // The window's configuration lives on only in LK24.ini: the user decides
    // whether to go without it (and may still save a file first).
    if (!failure.isEmpty() && !closeWithoutTemplate(failure)) {
      closeHeld_ = false;
      event->ignore();
      return;
    }
    formClosed_ = true;
  }
  QMainWindow::closeEvent(event);
}

bool TForm1::closeWithoutTemplate(const QString& failure) {
  askingToCloseWithoutTemplate_ = true;
  sessionEndWhileAsking_ = false;
  const bool yes =
      AskYesNo(this, QStringLiteral("LK24.ini konnte nicht geschrieben werden: %1. Trotzdem beenden?").arg(failure));
  askingToCloseWithoutTemplate_ = false;
  return yes || sessionEndWhileAsking_;
}

void TForm1::sessionEnded() {
  if (askingToCloseWithoutTemplate_) {
    // A logout or shutdown must never wait for good on a box nobody sees.
    sessionEndWhileAsking_ = true;
    AnswerOpenQuestionYes();
    return;
  }
  close();
}

void TForm1::transferEnded() {
  if (closeHeld_) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

QString TForm1::FormClose() {
  // The engine threads stop before the image is written; a port that will
  // not close must not keep the window open.
  try {
    RS232->Close();
  } catch (const std::exception&) {
  }
  if (TemplateInvalid) return {};
  std::string reason;
  try {
    Memo1 = BuildFile(image_, comNumber(), transmitterFirmwareText(), receiverFirmwareText());
    if (Memo1.saveToFile(kTemplateFileName, &reason) == FileWriteStatus::Ok) return {};
  } catch (const std::exception& e) {
    reason = e.what();
  }
  // A failed write leaves the old template in place.
  return reason.empty() ? QStringLiteral("Fehler beim Schreiben") : QString::fromLocal8Bit(reason.c_str());
}

}  // namespace lk24
