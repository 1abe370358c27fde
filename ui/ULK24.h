#pragma once
// The main window: the transmitter and receiver halves, the control column
// with the two big buttons, the progress panel and the message log, the
// menu and the status bar. It owns the configuration image for the whole
// run, loads the template LK24.ini when it is created and writes it back
// when it closes. Everything here runs on the main thread.

#include "model/ConfigImage.h"
#include "model/LineList.h"
#include "ui/FileDialogs.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QActionGroup;
class QCloseEvent;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QTimer;
class TAfComPort;

namespace lk24 {

class AfComPortLine;
class DeviceLink;
class PieGauge;
class SettingsView;
class WindowLinkView;
class StatusPanels;
class TFinfo;
class TFhilfe;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 849;
  static constexpr int kClientHeight = 634;

  // Builds the window and runs FormCreate: the template is loaded from the
  // current directory before the constructor returns.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The windows the "Hilfe" menu shows; the window does not own them.
  void setSecondaryWindows(TFinfo* info, TFhilfe* help);

  ConfigImage& image() { return image_; }
  const ConfigImage& image() const { return image_; }

  // The port number of RS232.
  std::uint16_t comNumber() const;
  void setComNumber(std::uint16_t number);

  // The message log. Sender is not used; it is kept for the callers' sake.
  void showinfo(QObject* Sender, const QString& Text, const QColor& Colour, std::uint8_t Style);
  void appendLogLine(const QString& text);

  // Rewrites the window from the DeviceImage.
  void showdata();

  bool TemplateInvalid = false;
  // The device flags and the transfer state belong to the device link.
  bool TransmitterDetected() const;
  bool ReceiverDetected() const;

  // The line buffer in which template and configuration files are built.
  LineList Memo1;

  FileDialog OpenDialog1;
  FileDialog SaveDialog1;
  FileDialog ReportDialog1;  // "Bericht als PDF…"

  // Controls, named as the rest of the program refers to them.
  QWidget* Client = nullptr;
  QFrame* PSender = nullptr;
  QFrame* Pempfang = nullptr;
  QFrame* PTaktiv = nullptr;
  QFrame* PRaktiv = nullptr;
  QLabel* Label153 = nullptr;
  QLabel* Lwerksversion = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QPushButton* LeseButton = nullptr;
  QPushButton* ProgButton = nullptr;
  QFrame* Panel32 = nullptr;
  QFrame* PanProg = nullptr;
  PieGauge* Gauge = nullptr;
  QLabel* Laction = nullptr;
  QTextEdit* MInfo = nullptr;
  QPushButton* ButClear = nullptr;
  StatusPanels* SB1 = nullptr;
  QPlainTextEdit* werkmemo = nullptr;
  QPlainTextEdit* datamemo = nullptr;
  QPlainTextEdit* andmemo = nullptr;
  QPlainTextEdit* ormemo = nullptr;

  QMenu* Datei1 = nullptr;
  QAction* Laden1 = nullptr;
  QAction* Speichern1 = nullptr;
  QAction* N1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* BerichtDrucken1 = nullptr;
  QAction* BerichtPdf1 = nullptr;
  QMenu* MKommunikation = nullptr;
  QAction* Datensenden1 = nullptr;
  QAction* Datenempfangen1 = nullptr;
  QActionGroup* ComGroup = nullptr;
  QAction* COM11 = nullptr;
  QAction* COM21 = nullptr;
  QAction* COM31 = nullptr;
  QAction* COM41 = nullptr;
  QAction* Vergleichen1 = nullptr;
  QMenu* MTyp = nullptr;
  QAction* MTyp_normal = nullptr;
  QAction* MTyp_RS232 = nullptr;
  QAction* N2 = nullptr;
  QMenu* MHilfeTop = nullptr;
  QAction* Mhilfe = nullptr;
  QAction* M_info = nullptr;

  QTimer* inittimer = nullptr;

  // The fields, switches and pages inside PSender and Pempfang.
  SettingsView* Settings = nullptr;

  // The serial port to the device; closed when the window closes.
  TAfComPort* RS232 = nullptr;

  // The read, program and verify transfers over RS232.
  DeviceLink& link() { return *link_; }

  // A comparison has read the device: the log lists the settings in which
  // it differs from the DeviceImage, or says that they agree.
  void showComparison(const Table& device);

  // The device link says a transfer has ended: a close held back for it
  // goes ahead once the link's handler has returned.
  void transferEnded();

 public slots:
  void inittimerTimer();
  void ButClearClick();
  void Exit1Click();
  void M_infoClick();
  void MhilfeClick();

  // Requests and port choices, passed on to the device link.
  void LeseButtonClick();
  void ProgButtonClick();
  void COM11Click();
  void COM21Click();
  void COM31Click();
  void COM41Click();
  void MKommunikationClick();
  void Speichern1Click();
  void Laden1Click();
  void Vergleichen1Click();
  void BerichtDrucken1Click();
  void BerichtPdf1Click();

 public:
  // Reads the file named in OpenDialog1 into the DeviceImage and the port
  // number, all or nothing; false leaves both exactly as they were and
  // puts the reason in problem (when given).
  bool DateiGeladen(QString* problem = nullptr);

  // The end of the session (logout, shutdown, a signal): a close request.
  // While the box after a failed LK24.ini is open it answers it "Ja", so
  // that a logout is never held for good. Main thread.
  void sessionEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildClientArea();
  void buildControlColumn();
  void buildDiagnosticLists();
  void buildMenu();
  void setTabOrder();

  void FormCreate();
  // Closes the port and writes LK24.ini; the reason when it could not be written.
  QString FormClose();
  // Asks whether to close although LK24.ini could not be written.
  bool closeWithoutTemplate(const QString& failure);
  void loadTemplate();
  void fillDiagnosticLists();
  void enterReducedState(const QString& message);
  void setTwoLineCaptions();

  std::string transmitterFirmwareText() const;
  std::string receiverFirmwareText() const;

  ConfigImage image_;
  // Goes after the line and the link that use it.
  std::unique_ptr<TAfComPort> port_;
  std::unique_ptr<AfComPortLine> line_;
  std::unique_ptr<WindowLinkView> linkView_;
  std::unique_ptr<DeviceLink> link_;
  TFinfo* info_ = nullptr;
  TFhilfe* help_ = nullptr;
  bool closeHeld_ = false;  // a close request waits for the transfer to end
  bool askingToCloseWithoutTemplate_ = false;  // the box after a failed LK24.ini is open
  bool sessionEndWhileAsking_ = false;         // and the session ended meanwhile
  bool formClosed_ = false;  // FormClose has run; it never runs twice
};

}  // namespace lk24
