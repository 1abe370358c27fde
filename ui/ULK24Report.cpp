// The main window's view of a configuration in words: the comparison with
// the device, and the report it prints or saves as PDF.

#include "ui/ULK24.h"

#include "editor/SettingsInWords.h"
#include "editor/DeviceIdentity.h"
#include "link/DeviceLink.h"
#include "report/ReportPreview.h"
#include "ui/MessageLog.h"
#include "ui/ModalDialog.h"
#include "ui/SettingsView.h"
#include "ui/SystemBeep.h"

#include <QFileInfo>

namespace lk24 {

// Like every request, the comparison and the report first take what was
// typed into a field and not yet confirmed.
void TForm1::Vergleichen1Click() {
  Settings->takePendingEdit();
  if (!closeHeld_) link_->compare();
}

void TForm1::showComparison(const Table& device) {
  // The bytes a program run would write: what the user would change. The
  // checksum is the program run's to compute; the window's is stale after
  // every edit.
  Table shown = image_.DeviceImage;
  shown[addr::kChecksum] = device[addr::kChecksum];
  const std::vector<SettingDifference> differences =
      compareSettings(shown, device, settingsHalvesOf(device), addr::kLastWritten);
  if (differences.empty()) {
    showinfo(this, QStringLiteral(" Fenster und Gerät stimmen überein"), clBlack, entry::kInfo);
    return;
  }
  showinfo(this, QStringLiteral(" Fenster und Gerät weichen ab (Fenster | Gerät):"), clRed, entry::kTimeLine);
  for (std::size_t i = 0; i < differences.size(); ++i) {
    const SettingDifference& d = differences[i];
    const bool last = i + 1 == differences.size();
    showinfo(this,
             QStringLiteral(" %1  %2 | %3")
                 .arg(QString::fromStdString(d.caption), QString::fromStdString(d.a), QString::fromStdString(d.b)),
             clRed, last ? entry::kEmptyLine : 0);
  }
}

namespace {

ReportSubject subjectOf(const TForm1& form) {
  return {form.image().DeviceImage, form.OpenDialog1.FileName(), QDateTime::currentDateTime()};
}

}  // namespace

void TForm1::BerichtDrucken1Click() {
  Settings->takePendingEdit();
  previewReport(subjectOf(*this), this, ShowModal);
}

void TForm1::BerichtPdf1Click() {
  Settings->takePendingEdit();
  ReportDialog1.setFileName(QFileInfo(OpenDialog1.FileName()).completeBaseName() + QStringLiteral(".pdf"));
  if (!ReportDialog1.Execute(this)) {
    showinfo(this, QStringLiteral("\"Bericht als PDF\" abgebrochen"), clBlack, entry::kInfo);
    return;
  }
  const QString name = ReportDialog1.FileName();
  QString error;
  if (writeReportPdf(subjectOf(*this), name, &error)) {
    showinfo(this, QStringLiteral(" Bericht gespeichert unter \"") + name + QLatin1Char('"'), clBlack, entry::kInfo);
  } else {
    SystemBeep();
    showinfo(this, QLatin1Char(' ') + error, clRed, entry::kError);
  }
}

}  // namespace lk24
