// The main window's frame: client area, the places of the controls, the
// menu with its captions and names, and the captions set at start-up.

#include "ShellTestSupport.h"
#include "ui/DesignFont.h"

#include "ui/PieGauge.h"
#include "ui/StatusPanels.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QActionGroup>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace lk24::test {
namespace {

using MainWindowTest = ShellTest;

TEST_F(MainWindowTest, ClientAreaIsFixedBelowTheMenuBar) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.windowTitle(), QStringLiteral(" - LK24 Konfiguration -  (v1.00)"));
  EXPECT_EQ(form.centralWidget()->size(), QSize(849, 634));
  EXPECT_EQ(form.centralWidget()->y(), form.menuBar()->height());
  EXPECT_EQ(form.size(), QSize(849, 634 + form.menuBar()->height()));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(form.centralWidget()->palette().color(QPalette::Window), QColor(Qt::white));
  form.close();
}

TEST_F(MainWindowTest, ControlsSitAtTheirPlacesWithTheirHints) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  struct Place {
    const char* name;
    QRect rect;
    bool visible;
    const char* hint;
  };
  const std::vector<Place> places{
      {"PSender", {16, 16, 267, 585}, true, "Einstellungen für den Sender"},
      {"PTaktiv", {14, 14, 271, 589}, false, ""},
      {"Pempfang", {304, 16, 267, 585}, true, "Einstellungen für den Empfänger"},
      {"PRaktiv", {302, 14, 271, 589}, false, ""},
      {"Label153", {592, 16, 241, 17}, true, "Versionsnummer dieser PC-Software"},
      {"Lwerksversion", {648, 36, 130, 18}, false, ""},
      {"Image1", {600, 64, 83, 54}, true, "Gerätekonfiguration auslesen"},
      {"LeseButton", {688, 56, 145, 65}, true, "Gerätekonfiguration auslesen"},
      {"Image2", {600, 144, 83, 54}, true, "Konfiguration zum Gerät senden und dort speichern"},
      {"ProgButton", {688, 136, 145, 65}, true, "Konfiguration zum Gerät senden und dort speichern"},
      {"Panel32", {592, 224, 241, 73}, true, ""},
      {"PanProg", {592, 224, 241, 73}, false, ""},
      {"MInfo", {592, 304, 241, 257}, true, "Informationsfenster"},
      {"ButClear", {592, 568, 241, 33}, true, "Inhalt des Informationsfensters löschen"},
      {"SB1", {0, 614, 849, 20}, true, ""},
      {"werkmemo", {856, 32, 97, 273}, true, ""},
      {"datamemo", {856, 328, 97, 273}, true, ""},
      {"andmemo", {968, 32, 97, 273}, true, ""},
      {"ormemo", {968, 328, 97, 273}, true, ""},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.name);
    const auto* widget = form.Client->findChild<QWidget*>(QString::fromLatin1(p.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), form.Client);
    EXPECT_EQ(widget->geometry(), p.rect);
    EXPECT_EQ(widget->isVisibleTo(&form), p.visible);
    EXPECT_EQ(widget->toolTip(), QString::fromUtf8(p.hint));
  }
  // The progress panel lies in front of its backdrop, the halves in front
  // of their lime frames.
  const QObjectList& order = form.Client->children();
  EXPECT_GT(order.indexOf(form.PanProg), order.indexOf(form.Panel32));
  EXPECT_GT(order.indexOf(form.PSender), order.indexOf(form.PTaktiv));
  EXPECT_GT(order.indexOf(form.Pempfang), order.indexOf(form.PRaktiv));

  EXPECT_EQ(form.Gauge->parentWidget(), form.PanProg);
  EXPECT_EQ(form.Gauge->geometry(), QRect(8, 7, 97, 60));
  EXPECT_FALSE(form.Gauge->isVisibleTo(form.PanProg));
  EXPECT_EQ(form.Laction->parentWidget(), form.PanProg);
  EXPECT_EQ(form.Laction->pos(), QPoint(136, 27));

  // The diagnostic lists lie beyond the right edge of the client area.
  EXPECT_GE(form.werkmemo->x(), 849);
  EXPECT_FALSE(form.MInfo->focusPolicy() & Qt::TabFocus);
  EXPECT_TRUE(form.MInfo->isReadOnly());

  EXPECT_EQ(form.Label153->text(), QStringLiteral("Softwareversion: 1.00"));
  EXPECT_EQ(form.Lwerksversion->text(), QStringLiteral(" WERKSVERSION "));
  EXPECT_EQ(form.ButClear->text(), QStringLiteral("clear info"));
  EXPECT_EQ(form.LeseButton->text(), QStringLiteral(" Konfiguration\n AUSLESEN            "));
  EXPECT_EQ(form.ProgButton->text(), QStringLiteral("Konfiguration\nPROGRAMMIEREN"));
  EXPECT_EQ(form.SB1->panelCount(), 2);

}

// Presses Tab for real, from start on, until the focus comes back to it (or
// stays where it is): the widgets that had the focus, start first.
std::vector<QWidget*> tabRound(QWidget* start) {
  start->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> visited{start};
  for (int presses = 0; presses < 300; ++presses) {
    QWidget* before = QApplication::focusWidget();
    QTest::keyClick(before, Qt::Key_Tab);
    QWidget* now = QApplication::focusWidget();
    if (now == start || now == before) break;
    visited.push_back(now);
  }
  return visited;
}

QStringList names(const std::vector<QWidget*>& widgets) {
  QStringList list;
  for (QWidget* w : widgets) {
    list << (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName());
  }
  return list;
}

// An image with the optional panels of both basic pages shown (as far as
// the template's masks let the bits through).
ConfigImage imageWithPanels() {
  ConfigImage image = sampleImage();
  image.DeviceImage[26] = 0xFF;  // distance and emergency alarms with their options
  image.DeviceImage[91] = 0x03;  // interval transmission and emergency button
  return image;
}

void showActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Tab from the first transmitter field: the transmitter's page top to bottom,
// the receiver's page control and page (of each radio group the chosen
// button), the column on the right without the log, the listings, and round
// again to the transmitter's pages.
TEST_F(MainWindowTest, TabVisitsTransmitterThenReceiverThenButtonsAndListings) {
  writeTemplate(templateLines(imageWithPanels(), 1));
  TForm1 form;
  showActive(form);
  form.showdata();
  const QStringList visited = names(tabRound(form.findChild<QWidget*>(QStringLiteral("T_ID"))));
  EXPECT_EQ(visited.join(QLatin1Char(' ')),
            QStringLiteral("T_ID Meldeintervall CB_T_Intevall CB_T_Notruf T_LedHell Kapazitaet "
                           "qt_tabwidget_tabbar R_ID R_AlarmZeit CBalarmDistance CBdistanceTon CBselfclear RBfern "
                           "RBpoti CBAlarmNotruf RBrelalaon "
                           "LeseButton ProgButton ButClear werkmemo datamemo andmemo ormemo qt_tabwidget_tabbar"));

  // The grid of on and off times row by row, left to right.
  form.findChild<QTabWidget*>(QStringLiteral("PageControl2"))->setCurrentIndex(1);
  EXPECT_EQ(names(tabRound(form.findChild<QWidget*>(QStringLiteral("R_TonPer")))).mid(0, 16).join(QLatin1Char(' ')),
            QStringLiteral("R_TonPer L1_on L1_off L2_on L2_off L3_on L3_off T1_on T1_off T2_on T2_off R_drueck "
                           "CBResetTon SigTestDauer CBTonTest CBRelaisTest"));
}

// The factory pages lie under "- kein Zugriff -": their tabs can be chosen
// from the keyboard and show the cover, but Tab never enters the page, so
// Space cannot toggle the write permission (byte 3 bit 0) unseen.
TEST_F(MainWindowTest, CoveredPagesAreClosedToTheKeyboard) {
  writeTemplate(templateLines(imageWithPanels(), 1));
  TForm1 form;
  showActive(form);
  form.showdata();
  const std::uint8_t writePermission = form.image().DeviceImage[3];
  for (const char* name : {"PageControl1", "PageControl2"}) {
    auto* tabs = form.findChild<QTabWidget*>(QString::fromLatin1(name));
    tabs->tabBar()->setFocus(Qt::TabFocusReason);
    for (int i = 1; i < tabs->count(); ++i) QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
    ASSERT_EQ(tabs->currentIndex(), tabs->count() - 1) << name;
  }
  QWidget* transmitterPage = form.findChild<QWidget*>(QStringLiteral("TSwerkSender"));
  QWidget* receiverPage = form.findChild<QWidget*>(QStringLiteral("TabSheet1"));
  EXPECT_TRUE(form.findChild<QWidget*>(QStringLiteral("PTwerk"))->isVisible());
  EXPECT_TRUE(form.findChild<QWidget*>(QStringLiteral("PRwerk"))->isVisible());

  for (QWidget* stop : tabRound(form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->tabBar())) {
    EXPECT_FALSE(transmitterPage->isAncestorOf(stop) || receiverPage->isAncestorOf(stop))
        << stop->objectName().toStdString();
    // Space toggles a switch; the buttons on the right are left alone.
    if (form.PSender->isAncestorOf(stop) || form.Pempfang->isAncestorOf(stop)) QTest::keyClick(stop, Qt::Key_Space);
  }
  EXPECT_EQ(form.image().DeviceImage[3], writePermission);
}

// One sans face for the whole window; the listings, laid out in columns,
// in its fixed-pitch sibling.
TEST_F(MainWindowTest, OneFaceForTheWholeWindow) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  const std::vector<QWidget*> listings{form.werkmemo, form.datamemo, form.andmemo, form.ormemo};
  auto isListing = [&](QWidget* w) {
    return std::any_of(listings.begin(), listings.end(), [w](QWidget* l) {
      return l == w || l->isAncestorOf(w) || w->objectName() == l->objectName() + QStringLiteral("Caption");
    });
  };
  for (QWidget* w : form.findChildren<QWidget*>()) {
    const QString expected = isListing(w) ? kFixedPitchFace : kWindowFace;
    EXPECT_EQ(QFontInfo(w->font()).family(), expected)
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, MenuCaptionsNamesAndRadioGroups) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  struct Top {
    const char* caption;
    const char* name;
    bool visible;
    std::vector<std::pair<const char*, const char*>> items;  // caption, name
  };
  const std::vector<Top> menus{
      {"&Datei",
       "Datei1",
       true,
       {{"&Laden", "Laden1"},
        {"&Speichern", "Speichern1"},
        {"", "N1"},
        {"E&xit", "Exit1"},
        {"", "N3"},
        {"Bericht &drucken…", "BerichtDrucken1"},
        {"Bericht als &PDF…", "BerichtPdf1"}}},
      {"&Kommunikation",
       "MKommunikation",
       true,
       {{"Daten &senden (PC --> Gerät)", "Datensenden1"},
        {"Daten &empfangen (Gerät --> PC)", "Datenempfangen1"},
        {"COM&1", "COM11"},
        {"COM&2", "COM21"},
        {"COM&3", "COM31"},
        {"COM&4", "COM41"},
        {"Mit Gerät &vergleichen", "Vergleichen1"}}},
      {"&Typ",
       "MTyp",
       false,
       {{"&normal  (für programmierbaren Schaltempfänger)", "MTyp_normal"},
        {"&RS232  (für Empfänger mit RS232-Ausgabe)", "MTyp_RS232"}}},
      {" ", "N2", true, {}},
      {"&Hilfe", "MHilfeTop", true, {{"&Hilfe", "Mhilfe"}, {"&Info", "M_info"}}},
  };
  const QList<QAction*> top = form.menuBar()->actions();
  ASSERT_EQ(top.size(), static_cast<qsizetype>(menus.size()));
  for (std::size_t i = 0; i < menus.size(); ++i) {
    const Top& expected = menus[i];
    SCOPED_TRACE(expected.name);
    QAction* action = top[static_cast<qsizetype>(i)];
    EXPECT_EQ(action->text(), QString::fromUtf8(expected.caption));
    EXPECT_EQ(action->isVisible(), expected.visible);
    QMenu* menu = action->menu();
    if (expected.items.empty()) {
      EXPECT_EQ(menu, nullptr);
      EXPECT_EQ(action->objectName(), QString::fromLatin1(expected.name));
      continue;
    }
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), QString::fromLatin1(expected.name));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(expected.items.size()));
    for (qsizetype j = 0; j < items.size(); ++j) {
      EXPECT_EQ(items[j]->text(), QString::fromUtf8(expected.items[static_cast<std::size_t>(j)].first));
      EXPECT_EQ(items[j]->objectName(), QString::fromLatin1(expected.items[static_cast<std::size_t>(j)].second));
    }
  }
  EXPECT_TRUE(form.N1->isSeparator());

  for (QAction* com : {form.COM11, form.COM21, form.COM31, form.COM41}) {
    EXPECT_TRUE(com->isCheckable());
    EXPECT_EQ(com->actionGroup(), form.COM11->actionGroup());
  }
  EXPECT_TRUE(form.COM11->actionGroup()->isExclusive());
  EXPECT_TRUE(form.COM11->isChecked());
  form.COM31->setChecked(true);
  EXPECT_FALSE(form.COM11->isChecked());

  EXPECT_TRUE(form.MTyp_normal->isChecked());
  EXPECT_FALSE(form.MTyp_RS232->isChecked());
  EXPECT_EQ(form.MTyp_normal->actionGroup(), form.MTyp_RS232->actionGroup());
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndWritesTheTemplate) {
  {
    TForm1 form;  // reduced state: no template
    form.show();
    form.Exit1->trigger();
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_FALSE(templateExists());

  writeTemplate(templateLines(sampleImage(), 2));
  const std::string before = readFile(kTemplateFileName);
  {
    TForm1 form;
    form.show();
    form.setComNumber(4);
    form.Exit1->trigger();
    EXPECT_FALSE(form.isVisible());
  }
  LineList after;
  after.setText(readFile(kTemplateFileName));
  EXPECT_EQ(after.line(1029), "4");
}

TEST(PieGaugeTest, ProgressIsClampedToAPercentage) {
  PieGauge gauge;
  gauge.resize(97, 60);
  for (const auto& [given, shown] : std::vector<std::pair<int, int>>{{0, 0}, {57, 57}, {100, 100}, {130, 100}, {-4, 0}}) {
    gauge.setProgress(given);
    EXPECT_EQ(gauge.progress(), shown) << given;
  }
  // The pie fills clockwise from twelve o'clock: the right half first.
  struct Look {
    int percent;
    QColor right;
    QColor left;
  };
  for (const Look& look : {Look{0, Qt::yellow, Qt::yellow}, Look{50, Qt::blue, Qt::yellow},
                           Look{100, Qt::blue, Qt::blue}}) {
    gauge.setProgress(look.percent);
    const QImage image = gauge.grab().toImage();
    EXPECT_EQ(image.pixelColor(72, 30), look.right) << look.percent;
    EXPECT_EQ(image.pixelColor(24, 30), look.left) << look.percent;
  }
}

}  // namespace
}  // namespace lk24::test
