// The main window's file commands: saving the configuration to a *.lk2 file
// and loading one. Messages go to the log; the window is refreshed whatever
// happened.

#include "ui/ULK24.h"

#include "model/ConfigurationFile.h"
#include "model/TemplateFormat.h"
#include "ui/SettingsView.h"
#include "link/DeviceLink.h"
#include "ui/MessageLog.h"
#include "ui/SystemBeep.h"

namespace lk24 {

namespace {

// " Fehler bei "Datei laden!": "name" nicht gefunden"
QString fileFailure(const QString& command, const QString& name, const std::string& problem) {
  QString text = QStringLiteral(" Fehler bei \"") + command + QLatin1Char('"');
  if (problem.empty()) return text;
  return text + QStringLiteral(": \"") + name + QStringLiteral("\" ") + QString::fromStdString(problem);
}

}  // namespace

void TForm1::Speichern1Click() {
  Settings->takePendingEdit();
  if (!SaveDialog1.Execute(this)) {
    showinfo(this, QStringLiteral("\"Datei Speichern\" abgebrochen"), clBlack, entry::kInfo);
  } else {
    // The file holds the merged image, and so does the window afterwards.
    Memo1 = BuildFile(image_, comNumber(), transmitterFirmwareText(), receiverFirmwareText());
    const QString name = SaveDialog1.FileName();
    const FileWriteStatus status = Memo1.saveToFile(name.toStdString());
    if (status == FileWriteStatus::Ok) {
      OpenDialog1.setFileName(name);
      showinfo(this, QStringLiteral(" file gespeichert unter \"") + name + QLatin1Char('"'), clBlack, entry::kInfo);
    } else {
      SystemBeep();
      showinfo(this, fileFailure(QStringLiteral("Datei speichern!"), name, fileWriteProblem(status)), clRed,
               entry::kError);
    }
  }
  showdata();
}

void TForm1::Laden1Click() {
  Settings->takePendingEdit();
  // The status bar and the report name the file whose data the window holds.
  const QString loadedName = OpenDialog1.FileName();
  bool ok = true;
  QString problem;
  if (OpenDialog1.Execute(this)) {
    ok = DateiGeladen(&problem);
  } else {
    showinfo(this, QStringLiteral("\"Datei Laden\" abgebrochen"), clBlack, entry::kInfo);
  }
  if (ok) {
    SaveDialog1.setFileName(OpenDialog1.FileName());
  } else {
    const QString refused = OpenDialog1.FileName();
    OpenDialog1.setFileName(loadedName);
    SystemBeep();
    showinfo(this, fileFailure(QStringLiteral("Datei laden!"), refused, problem.toStdString()), clRed,
             entry::kError);
  }
  showdata();
}

bool TForm1::DateiGeladen(QString* problem) {
  // The whole file is checked before anything is taken over, so a bad file
  // never leaves half of one configuration and half of another behind.
  const ConfigurationFileLoad load = readConfigurationFile(OpenDialog1.FileName().toStdString());
  if (!load.ok) {
    if (problem) *problem = QString::fromStdString(configurationProblem(load));
    return false;
  }
  // Only stored: reopening a port here could fail half-way through the load.
  if (!link_->takePortNumber(load.port)) {
    if (problem) *problem = QStringLiteral("nicht während einer Übertragung");
    return false;
  }
  image_.DeviceImage = load.deviceImage;
  showinfo(this, QStringLiteral(" Datei geladen "), clBlack, entry::kInfo);
  return true;
}

}  // namespace lk24
