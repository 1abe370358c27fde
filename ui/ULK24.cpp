#include "ui/ULK24.h"

#include "model/NumberText.h"
#include "link/AfComPortLine.h"
#include "link/DeviceLink.h"
#include "model/TemplateFormat.h"
#include "serial/AfComPort.h"
#include "ui/Artwork.h"
#include "ui/DesignFont.h"
#include "ui/DesignPalette.h"
#include "ui/MessageLog.h"
#include "ui/ModalDialog.h"
#include "ui/PieGauge.h"
#include "ui/QtLinkTimer.h"
#include "ui/QtMainThreadWaker.h"
#include "ui/ScreenReaderNames.h"
#include "ui/SettingsView.h"
#include "ui/StatusPanels.h"
#include "ui/SystemBeep.h"
#include "ui/UHilfe.h"
#include "ui/Uinfo.h"
#include "ui/WindowLinkView.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

#include <array>
#include <vector>

namespace lk24 {

namespace {

const QColor kControlGrey(216, 216, 216);
const QColor kProgressBeige(231, 228, 203);
const QColor kFrameLime(0, 255, 0);
const QColor kCaptionPurple(128, 0, 128);

const QString kTemplateNotFound =
    QStringLiteral(" Datei \"LK24.ini\" nicht gefunden. Alle Funktionen deaktiviert!");
const QString kTemplateWrong = QStringLiteral(" falsche Datei \"LK24.ini\" !!! Alle Funktionen deaktiviert");

void fillBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

QFrame* makePanel(QWidget* parent, const char* name, const QRect& place, const QColor& colour,
                  bool bevel = true) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setGeometry(place);
  panel->setFrameStyle(bevel ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
  fillBackground(panel, colour);
  return panel;
}

QPushButton* makeBigButton(QWidget* parent, const char* name, const QString& caption, const QRect& place,
                           const QString& hint) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(place);
  button->setFont(DesignFont(QStringLiteral("Verdana"), 13, kBold));
  button->setToolTip(hint);
  return button;
}

QLabel* makePicture(QWidget* parent, const char* name, const QPoint& at, const QPixmap& picture,
                    const QString& hint) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setPixmap(picture);
  label->setGeometry(QRect(at, QSize(83, 54)));
  label->setToolTip(hint);
  return label;
}

// The diagnostic listing line of one table entry: "  7:  12".
QString listLine(int address, int value) { return QString::asprintf("%3d: %3d", address, value); }

// Whether every line of the four tables parses; the listings show the tables
// only when they were read whole.
bool tableLinesParse(const LineList& lines) {
  for (int i = line::kFactoryImage; i < line::kChecksumHigh; ++i) {
    if (!parseInt32(lines.line(i))) return false;
  }
  return true;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent),
      OpenDialog1(FileDialog::Purpose::Open, QStringLiteral("Datei Laden"),
                  QStringLiteral("LK24-Konfiguration (*.lk2)|*.lk2|alle Dateien (*.*)|*.*")),
      SaveDialog1(FileDialog::Purpose::Save, QStringLiteral("Datei Speichern"),
                  QStringLiteral("LK24 Konfiguration (*.lk2)|*.lk2|alle Dateien (*.*)|*.*")),
      ReportDialog1(FileDialog::Purpose::Save, QStringLiteral("Bericht als PDF speichern"),
                    QStringLiteral("PDF-Dokument (*.pdf)|*.pdf")) {
  setObjectName(QStringLiteral("Form1"));
  // The window's font, for the menu and everything not given one of its own:
  // the design's 15-pixel cell height is a 13-pixel em.
  setFont(DesignFont(QStringLiteral("MS Sans Serif"), 13));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  SaveDialog1.setFileName(QStringLiteral("default.lk2"));
  ReportDialog1.setDefaultExt(QStringLiteral("pdf"));

  // The port's events reach this thread through Qt's loop (already so when
  // the program set it up at start).
  InstallQtMainThreadWaker();
  port_ = std::make_unique<TAfComPort>();
  RS232 = port_.get();
  RS232->setName("RS232");
  // The line sets the port up for the device (19200 baud, time-critical threads).
  line_ = std::make_unique<AfComPortLine>(*RS232);

  buildClientArea();
  // Not a child: it must go before the widgets it built (see the destructor).
  Settings = new SettingsView(PSender, Pempfang, image_, [this] { showdata(); });
  setTabOrder();
  buildMenu();
  ApplyDesignPalette(*this);
  NameControlColumnForScreenReaders(*this);
  linkView_ = std::make_unique<WindowLinkView>(*this);
  link_ = std::make_unique<DeviceLink>(image_, *linkView_, *line_, std::make_unique<QtLinkTimer>(),
                                       std::make_unique<QtLinkTimer>());
  // The window keeps the size of its client area plus the menu bar.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  move(195, 162);

  inittimer = new QTimer(this);
  inittimer->setObjectName(QStringLiteral("inittimer"));
  inittimer->setInterval(300);
  inittimer->setSingleShot(true);
  connect(inittimer, &QTimer::timeout, this, &TForm1::inittimerTimer);

  FormCreate();
}

TForm1::~TForm1() {
  // The view unhooks its fields when it goes, so it goes while they exist.
  delete Settings;
  Settings = nullptr;
}

void TForm1::setSecondaryWindows(TFinfo* info, TFhilfe* help) {
  info_ = info;
  help_ = help;
}

// ---------------------------------------------------------------- layout

void TForm1::buildClientArea() {
  Client = new QWidget(this);
  Client->setObjectName(QStringLiteral("Client"));
  Client->setFixedSize(kClientWidth, kClientHeight);
  fillBackground(Client, Qt::white);
  setCentralWidget(Client);

  // The lime frames lie behind the halves and show as a border when visible.
  PTaktiv = makePanel(Client, "PTaktiv", QRect(14, 14, 271, 589), kFrameLime, false);
  PTaktiv->hide();
  PRaktiv = makePanel(Client, "PRaktiv", QRect(302, 14, 271, 589), kFrameLime, false);
  PRaktiv->hide();

  PSender = makePanel(Client, "PSender", QRect(16, 16, 267, 585), kDesignFace);
  PSender->setToolTip(QStringLiteral("Einstellungen für den Sender"));
  Pempfang = makePanel(Client, "Pempfang", QRect(304, 16, 267, 585), kDesignFace);
  Pempfang->setToolTip(QStringLiteral("Einstellungen für den Empfänger"));

  buildControlColumn();
  buildDiagnosticLists();

  SB1 = new StatusPanels({50, 50}, Client);
  SB1->setObjectName(QStringLiteral("SB1"));
  SB1->setGeometry(0, 614, kClientWidth, 20);
  // A status bar speaks in the smaller system font, not the window's.
  SB1->setFont(DesignFont(QStringLiteral("MS Sans Serif"), 12));
  fillBackground(SB1, kDesignFace);
}

void TForm1::buildControlColumn() {
  Label153 = new QLabel(QStringLiteral("Softwareversion: 1.00"), Client);
  Label153->setObjectName(QStringLiteral("Label153"));
  Label153->setGeometry(592, 16, 241, 17);
  Label153->setAlignment(Qt::AlignCenter);
  Label153->setFont(DesignFont(QStringLiteral("Arial"), 13));
  Label153->setToolTip(QStringLiteral("Versionsnummer dieser PC-Software"));
  fillBackground(Label153, kControlGrey);

  Lwerksversion = new QLabel(QStringLiteral(" WERKSVERSION "), Client);
  Lwerksversion->setObjectName(QStringLiteral("Lwerksversion"));
  Lwerksversion->setGeometry(648, 36, 130, 18);
  Lwerksversion->setFont(DesignFont(QStringLiteral("Arial"), 15, kBold));
  QPalette warning = Lwerksversion->palette();
  warning.setColor(QPalette::WindowText, clRed);
  Lwerksversion->setPalette(warning);
  fillBackground(Lwerksversion, Qt::yellow);

  const QString readHint = QStringLiteral("Gerätekonfiguration auslesen");
  const QString programHint = QStringLiteral("Konfiguration zum Gerät senden und dort speichern");
  Image1 = makePicture(Client, "Image1", QPoint(600, 64), ReadPicture(), readHint);
  LeseButton = makeBigButton(Client, "LeseButton", QStringLiteral("Auslesen"), QRect(688, 56, 145, 65), readHint);
  Image2 = makePicture(Client, "Image2", QPoint(600, 144), ProgramPicture(), programHint);
  ProgButton =
      makeBigButton(Client, "ProgButton", QStringLiteral("Programmieren"), QRect(688, 136, 145, 65), programHint);
  connect(LeseButton, &QPushButton::clicked, this, &TForm1::LeseButtonClick);
  connect(ProgButton, &QPushButton::clicked, this, &TForm1::ProgButtonClick);

  Panel32 = makePanel(Client, "Panel32", QRect(592, 224, 241, 73), kControlGrey);
  PanProg = makePanel(Client, "PanProg", QRect(592, 224, 241, 73), kProgressBeige);
  PanProg->hide();

  Gauge = new PieGauge(PanProg);
  Gauge->setObjectName(QStringLiteral("Gauge"));
  Gauge->setGeometry(8, 7, 97, 60);
  Gauge->hide();

  Laction = new QLabel(QStringLiteral("---"), PanProg);
  Laction->setObjectName(QStringLiteral("Laction"));
  Laction->setFont(DesignFont(QStringLiteral("Arial"), 19, kBold | kItalic));
  Laction->setGeometry(136, 27, 100, 24);

  MInfo = new QTextEdit(Client);
  MInfo->setObjectName(QStringLiteral("MInfo"));
  MInfo->setGeometry(592, 304, 241, 257);
  MInfo->setReadOnly(true);
  MInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MInfo->setFocusPolicy(Qt::ClickFocus);  // not reached by Tab
  MInfo->setLayoutDirection(Qt::LeftToRight);
  MInfo->setToolTip(QStringLiteral("Informationsfenster"));
  MInfo->setPlainText(QStringLiteral("MInfo"));

  ButClear = makeBigButton(Client, "ButClear", QStringLiteral("clear info"), QRect(592, 568, 241, 33),
                           QStringLiteral("Inhalt des Informationsfensters löschen"));
  connect(ButClear, &QPushButton::clicked, this, &TForm1::ButClearClick);
}

void TForm1::buildDiagnosticLists() {
  struct ListDesign {
    const char* name;
    QPlainTextEdit* TForm1::*member;
    int left;
    int top;
  };
  static constexpr std::array<ListDesign, 4> lists{{
      {"werkmemo", &TForm1::werkmemo, 856, 32},
      {"datamemo", &TForm1::datamemo, 856, 328},
      {"andmemo", &TForm1::andmemo, 968, 32},
      {"ormemo", &TForm1::ormemo, 968, 328},
  }};
  const QFont listFont = DesignFont(QStringLiteral("Courier New"), 13, kBold);
  for (const ListDesign& design : lists) {
    const QString name = QString::fromLatin1(design.name);
    auto* caption = new QLabel(name, Client);
    caption->setObjectName(name + QStringLiteral("Caption"));
    caption->setFont(listFont);
    caption->setGeometry(design.left, design.top - 16, 97, 16);
    QPalette purple = caption->palette();
    purple.setColor(QPalette::WindowText, kCaptionPurple);
    caption->setPalette(purple);

    auto* list = new QPlainTextEdit(Client);
    list->setObjectName(name);
    list->setFont(listFont);
    list->setGeometry(design.left, design.top, 97, 273);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Listings to look at: Tab moves on instead of typing into them.
    list->setReadOnly(true);
    list->setTabChangesFocus(true);
    this->*design.member = list;
  }
}

// Tab goes through the transmitter half, the receiver half, the two big
// buttons and "clear info", then the listings; the log is left out.
void TForm1::setTabOrder() {
  std::vector<QWidget*> order = Settings->tabOrder();
  order.insert(order.end(), {LeseButton, ProgButton, ButClear, werkmemo, datamemo, andmemo, ormemo});
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::buildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  auto addItem = [this](QMenu* menu, const char* name, const QString& caption, void (TForm1::*slot)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (slot) connect(action, &QAction::triggered, this, slot);
    return action;
  };

  Datei1 = bar->addMenu(QStringLiteral("&Datei"));
  Datei1->setObjectName(QStringLiteral("Datei1"));
  Laden1 = addItem(Datei1, "Laden1", QStringLiteral("&Laden"), &TForm1::Laden1Click);
  Speichern1 = addItem(Datei1, "Speichern1", QStringLiteral("&Speichern"), &TForm1::Speichern1Click);
  N1 = Datei1->addSeparator();
  N1->setObjectName(QStringLiteral("N1"));
  Exit1 = addItem(Datei1, "Exit1", QStringLiteral("E&xit"), &TForm1::Exit1Click);
  Datei1->addSeparator()->setObjectName(QStringLiteral("N3"));
  BerichtDrucken1 =
      addItem(Datei1, "BerichtDrucken1", QStringLiteral("Bericht &drucken…"), &TForm1::BerichtDrucken1Click);
  BerichtPdf1 = addItem(Datei1, "BerichtPdf1", QStringLiteral("Bericht als &PDF…"), &TForm1::BerichtPdf1Click);

  MKommunikation = bar->addMenu(QStringLiteral("&Kommunikation"));
  MKommunikation->setObjectName(QStringLiteral("MKommunikation"));
  // Opening the menu is what probes the ports.
  connect(MKommunikation, &QMenu::aboutToShow, this, &TForm1::MKommunikationClick);
  // The COM items say which device they reach, or why they cannot.
  MKommunikation->setToolTipsVisible(true);
  Datensenden1 =
      addItem(MKommunikation, "Datensenden1", QStringLiteral("Daten &senden (PC --> Gerät)"), &TForm1::ProgButtonClick);
  Datenempfangen1 = addItem(MKommunikation, "Datenempfangen1", QStringLiteral("Daten &empfangen (Gerät --> PC)"),
                            &TForm1::LeseButtonClick);
  ComGroup = new QActionGroup(this);
  ComGroup->setExclusive(true);
  struct ComItem {
    const char* name;
    const char* caption;
    QAction* TForm1::*member;
    void (TForm1::*slot)();
  };
  static constexpr std::array<ComItem, 4> comItems{{
      {"COM11", "COM&1", &TForm1::COM11, &TForm1::COM11Click},
      {"COM21", "COM&2", &TForm1::COM21, &TForm1::COM21Click},
      {"COM31", "COM&3", &TForm1::COM31, &TForm1::COM31Click},
      {"COM41", "COM&4", &TForm1::COM41, &TForm1::COM41Click},
  }};
  for (const ComItem& item : comItems) {
    QAction* action = addItem(MKommunikation, item.name, QString::fromLatin1(item.caption), item.slot);
    action->setCheckable(true);
    ComGroup->addAction(action);
    this->*item.member = action;
  }
  COM11->setChecked(true);
  Vergleichen1 = addItem(MKommunikation, "Vergleichen1", QStringLiteral("Mit Gerät &vergleichen"),
                         &TForm1::Vergleichen1Click);

  // A menu of the design that is never shown and that nothing reads.
  MTyp = bar->addMenu(QStringLiteral("&Typ"));
  MTyp->setObjectName(QStringLiteral("MTyp"));
  MTyp->menuAction()->setVisible(false);
  auto* typGroup = new QActionGroup(this);
  MTyp_normal = addItem(MTyp, "MTyp_normal", QStringLiteral("&normal  (für programmierbaren Schaltempfänger)"), nullptr);
  MTyp_RS232 = addItem(MTyp, "MTyp_RS232", QStringLiteral("&RS232  (für Empfänger mit RS232-Ausgabe)"), nullptr);
  for (QAction* action : {MTyp_normal, MTyp_RS232}) {
    action->setCheckable(true);
    typGroup->addAction(action);
  }
  MTyp_normal->setChecked(true);

  N2 = bar->addAction(QStringLiteral(" "));
  N2->setObjectName(QStringLiteral("N2"));

  MHilfeTop = bar->addMenu(QStringLiteral("&Hilfe"));
  MHilfeTop->setObjectName(QStringLiteral("MHilfeTop"));
  Mhilfe = addItem(MHilfeTop, "Mhilfe", QStringLiteral("&Hilfe"), &TForm1::MhilfeClick);
  M_info = addItem(MHilfeTop, "M_info", QStringLiteral("&Info"), &TForm1::M_infoClick);

  // Menus open as windows of their own and do not inherit the window's font.
  for (QMenu* menu : bar->findChildren<QMenu*>()) menu->setFont(font());
}

// ------------------------------------------------------- start and close

void TForm1::FormCreate() {
  TemplateInvalid = false;
  image_.presetForStartup();
  MInfo->clear();

  loadTemplate();

  setComNumber(1);
  if (!TemplateInvalid) setComNumber(scanPortEntry(Memo1, comNumber()));

  setTwoLineCaptions();
  Lwerksversion->hide();
  Settings->showFactoryCovers();
  OpenDialog1.setFileName(QStringLiteral("neue datei.lk2"));
  setWindowTitle(QStringLiteral(" - LK24 Konfiguration -  (v1.00)"));
  Laction->clear();
  inittimer->start();
}

void TForm1::loadTemplate() {
  Memo1.clear();
  TemplateLoad outcome = TemplateLoad::Malformed;
  if (Memo1.loadFromFile(kTemplateFileName) == FileReadStatus::Ok) {
    outcome = loadTemplateTables(Memo1, image_);
    if (outcome != TemplateLoad::Malformed || tableLinesParse(Memo1)) fillDiagnosticLists();
  }
  switch (outcome) {
    case TemplateLoad::Valid:
      break;
    case TemplateLoad::ChecksumMismatch:
      enterReducedState(kTemplateWrong);
      break;
    case TemplateLoad::Malformed:
      enterReducedState(kTemplateNotFound);
      break;
  }
}

void TForm1::fillDiagnosticLists() {
  const std::array<std::pair<QPlainTextEdit*, const Table*>, 4> lists{{
      {werkmemo, &image_.FactoryImage},
      {datamemo, &image_.DeviceImage},
      {andmemo, &image_.AndMask},
      {ormemo, &image_.OrMask},
  }};
  for (auto& [list, table] : lists) {
    QStringList lines;
    lines.reserve(kImageSize);
    for (int i = 0; i < kImageSize; ++i) lines << listLine(i, (*table)[static_cast<std::size_t>(i)]);
    list->setPlainText(lines.join(QLatin1Char('\n')));
  }
}

void TForm1::enterReducedState(const QString& message) {
  SystemBeep();
  showinfo(this, message, clRed, entry::kError);
  Settings->setInputEnabled(false);
  for (QPushButton* button : {LeseButton, ProgButton, ButClear}) button->setEnabled(false);
  MKommunikation->menuAction()->setEnabled(false);
  for (QAction* action : {Datensenden1, Datenempfangen1, COM11, COM21, COM31, COM41, Vergleichen1, Speichern1,
                          Laden1, BerichtDrucken1, BerichtPdf1}) {
    action->setEnabled(false);
  }
  TemplateInvalid = true;
}

void TForm1::setTwoLineCaptions() {
  LeseButton->setText(QStringLiteral(" Konfiguration\n AUSLESEN            "));
  ProgButton->setText(QStringLiteral("Konfiguration\nPROGRAMMIEREN"));
}

void TForm1::inittimerTimer() {
  inittimer->stop();
  showdata();
  if (LeseButton->isEnabled()) LeseButton->setFocus();
}

void TForm1::Exit1Click() { close(); }

std::uint16_t TForm1::comNumber() const { return RS232->ComNumber(); }

void TForm1::setComNumber(std::uint16_t number) { RS232->setComNumber(number); }

// ------------------------------------------------------------- the refresh

void TForm1::showdata() {
  Settings->refresh(TransmitterDetected(), ReceiverDetected());
  SB1->setPanelText(1, OpenDialog1.FileName());
  SB1->setPanelText(0, QStringLiteral("COM") + QString::number(comNumber()));
  SB1->setPanelToolTip(0, QString::fromStdString(line_->describePort(comNumber())));
  COM11->setChecked(true);
  switch (comNumber()) {
    case 2:
      COM21->setChecked(true);
      break;
    case 3:
      COM31->setChecked(true);
      break;
    case 4:
      COM41->setChecked(true);
      break;
    default:
      break;
  }
}

std::string TForm1::transmitterFirmwareText() const { return Settings->transmitterFirmwareText(); }

std::string TForm1::receiverFirmwareText() const { return Settings->receiverFirmwareText(); }

// ---------------------------------------------------------------- the log

void TForm1::showinfo(QObject* /*Sender*/, const QString& Text, const QColor& Colour, std::uint8_t Style) {
  AppendLogEntry(MInfo, Text, Colour, Style);
}

void TForm1::appendLogLine(const QString& text) { AppendPlainLine(MInfo, text); }

void TForm1::ButClearClick() { MInfo->clear(); }

// -------------------------------------------------------- the Hilfe menu

void TForm1::M_infoClick() {
  if (info_) ShowModal(*info_);
}

void TForm1::MhilfeClick() {
  if (help_) ShowModal(*help_);
}

// ------------------------------------------- handled by the device link

// Every request first takes what was typed into a field: a menu command or
// its shortcut leaves the focus where it is. Once the user has asked to
// close, no new transfer starts.
void TForm1::LeseButtonClick() {
  Settings->takePendingEdit();
  if (!closeHeld_) link_->read();
}
void TForm1::ProgButtonClick() {
  Settings->takePendingEdit();
  if (!closeHeld_) link_->program();
}
void TForm1::COM11Click() {
  Settings->takePendingEdit();
  link_->selectPort(1);
}
void TForm1::COM21Click() {
  Settings->takePendingEdit();
  link_->selectPort(2);
}
void TForm1::COM31Click() {
  Settings->takePendingEdit();
  link_->selectPort(3);
}
void TForm1::COM41Click() {
  Settings->takePendingEdit();
  link_->selectPort(4);
}
void TForm1::MKommunikationClick() { link_->probePorts(); }

bool TForm1::TransmitterDetected() const { return link_->TransmitterDetected(); }
bool TForm1::ReceiverDetected() const { return link_->ReceiverDetected(); }

}  // namespace lk24
