#include "ui/TextWindow.h"

#include "model/MakerInfo.h"
#include "ui/DesignFont.h"
#include "ui/DesignPalette.h"
#include "ui/OpenUrl.h"
#include "ui/SystemBeep.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QUrl>
#include <QWindow>

namespace lk24 {

namespace {
const QColor kPanelGrey(201, 201, 201);

void fillBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}
}  // namespace

TTextWindow::TTextWindow(const TextWindowDesign& design, QWidget* parent) : QDialog(parent), outerSize_(design.size) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowTitle(design.caption);
  resize(design.size);
  setFont(DesignFont(QStringLiteral("MS Sans Serif"), 11));
  ApplyDesignPalette(*this);
  fillBackground(this, Qt::white);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(design.panel);
  fillBackground(Panel1, kPanelGrey);

  RichEdit1 = new QTextEdit(Panel1);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setGeometry(design.text);
  RichEdit1->setFrameStyle(QFrame::NoFrame);
  RichEdit1->setReadOnly(true);
  // The design's 15-pixel cell height: a 13-pixel em shows all ten lines
  // without a scroll bar.
  RichEdit1->setFont(DesignFont(QStringLiteral("Courier New"), 13));
  QPalette textPalette = RichEdit1->palette();
  textPalette.setColor(QPalette::Base, palette().color(QPalette::Button));
  RichEdit1->setPalette(textPalette);
  RichEdit1->setPlainText(design.lines.join(QLatin1Char('\n')));

  const QFont buttonFont = DesignFont(QStringLiteral("Verdana"), 13);
  ButBack = new QPushButton(QStringLiteral("zurück"), this);
  ButBack->setObjectName(QStringLiteral("ButBack"));
  ButBack->setGeometry(design.backButton);
  ButBack->setFont(buttonFont);
  ButBack->setToolTip(QStringLiteral("Fenster schliessen"));
  connect(ButBack, &QPushButton::clicked, this, &TTextWindow::ButBackClick);

  ButWeb = new QPushButton(this);
  ButWeb->setObjectName(QStringLiteral("ButWeb"));
  ButWeb->setGeometry(design.webButton);
  ButWeb->setFont(buttonFont);
  ButWeb->setToolTip(QStringLiteral("Homepage im Browser öffnen"));
  connect(ButWeb, &QPushButton::clicked, this, &TTextWindow::ButWebClick);

  FormCreate();
}

void TTextWindow::FormCreate() {
  ButWeb->setText(QStringLiteral(" homepage:\n") + QString::fromUtf8(maker::kHomepageText));
}

void TTextWindow::FormShow() { ButBack->setFocus(); }

void TTextWindow::showEvent(QShowEvent* event) {
  placeOnDesktop();
  QDialog::showEvent(event);
  FormShow();
}

void TTextWindow::placeOnDesktop() {
  // The design's size is the outer one, frame and title bar included; the
  // frame is known once the window exists on the screen.
  const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  resize(outerSize_.shrunkBy(frame));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - QPoint(outerSize_.width() / 2, outerSize_.height() / 2));
  }
}

void TTextWindow::ButBackClick() { close(); }

void TTextWindow::ButWebClick() {
  SystemBeep();
  OpenUrl(QUrl(QString::fromUtf8(maker::kHomepageUrl)));
}

}  // namespace lk24
