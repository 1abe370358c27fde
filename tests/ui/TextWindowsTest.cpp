// The information and help windows: texts, focus on "zurück", Enter
// closes, the homepage button beeps and opens the maker's page; and Qt's
// own texts in German.

#include "ShellTestSupport.h"

#include "model/MakerInfo.h"
#include "ui/ModalDialog.h"
#include "ui/OpenUrl.h"
#include "ui/QtTranslations.h"
#include "ui/UHilfe.h"
#include "ui/ULK24.h"
#include "ui/Uinfo.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

namespace lk24::test {
namespace {

class TextWindowsTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    SetOpenUrlHandler([this](const QUrl& url) { opened_.push_back(url); });
  }
  void TearDown() override {
    SetShowModalHandler({});
    SetOpenUrlHandler({});
    ShellTest::TearDown();
  }

  // Shows the window through the menu item, checks it as the user finds it,
  // then presses Enter and returns whether that closed it.
  bool openAndPressEnter(QAction* item, TTextWindow& window) {
    bool shown = false;
    QWidget* focus = nullptr;
    SetShowModalHandler([&](QDialog& dialog) {
      dialog.open();
      shown = dialog.isVisible() && dialog.isModal();
      focus = dialog.focusWidget();
      QTest::keyClick(focus ? focus : &dialog, Qt::Key_Return);
      return dialog.result();
    });
    item->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(focus, window.ButBack);
    return !window.isVisible();
  }

  std::vector<QUrl> opened_;
};

TEST_F(TextWindowsTest, InfoAndHelpOpenWithFocusOnZurueckAndEnterClosesThem) {
  TForm1 form;
  auto* info = new TFinfo(&form);
  auto* help = new TFhilfe(&form);
  form.setSecondaryWindows(info, help);

  EXPECT_FALSE(info->isVisible());
  EXPECT_TRUE(openAndPressEnter(form.M_info, *info));
  EXPECT_TRUE(openAndPressEnter(form.Mhilfe, *help));
  // Each window can be shown again and again.
  EXPECT_TRUE(openAndPressEnter(form.M_info, *info));
  // Both stay usable in the reduced state (no template here).
  EXPECT_TRUE(form.TemplateInvalid);
}

TEST_F(TextWindowsTest, WindowsCarryTheirCaptionsSizesAndTexts) {
  TFinfo info;
  EXPECT_EQ(info.windowTitle(), QStringLiteral("Softwareinfo"));
  const QStringList infoLines = info.RichEdit1->toPlainText().split('\n');
  ASSERT_EQ(infoLines.size(), 10);
  EXPECT_EQ(infoLines[0], QStringLiteral(" Software: LK24.exe"));
  EXPECT_EQ(infoLines[1], QStringLiteral(" Version:  1.00"));
  EXPECT_EQ(infoLines[2], QStringLiteral(" Ausgabe:  08/2007"));
  EXPECT_EQ(infoLines[3], QString());
  for (int i = 4; i < 10; ++i) EXPECT_TRUE(infoLines[i].startsWith(' ')) << i;
  EXPECT_TRUE(infoLines.join('\n').contains(QString::fromUtf8(maker::kEmail)));
  EXPECT_EQ(info.RichEdit1->mapTo(&info, QPoint(0, 0)), QPoint(16, 16));

  TFhilfe help;
  EXPECT_EQ(help.windowTitle(), QStringLiteral(" LK24 Hilfe"));
  const QStringList helpLines = help.RichEdit1->toPlainText().split('\n');
  const QStringList expected{
      QStringLiteral("Eine Direkt-Hilfe ist noch nicht verfügbar."),
      QStringLiteral("Die aktuelle Dokumentation sowie Software-"),
      QStringLiteral("Updates finden Sie auf unserer homepage."),
      QString(),
      QStringLiteral("Kontexthilfe wird angezeigt, wenn Sie mit dem "),
      QStringLiteral("Mauszeiger über einem Feld stehen bleiben."),
      QString(),
      QStringLiteral("Für weitere Fragen kontaktieren Sie uns bitte "),
      QStringLiteral("direkt per Telefon oder email."),
  };
  EXPECT_EQ(helpLines, expected);

  for (TTextWindow* window : {static_cast<TTextWindow*>(&info), static_cast<TTextWindow*>(&help)}) {
    EXPECT_EQ(window->ButBack->text(), QStringLiteral("zurück"));
    EXPECT_EQ(window->ButBack->toolTip(), QStringLiteral("Fenster schliessen"));
    EXPECT_EQ(window->ButWeb->text(), QStringLiteral(" homepage:\n") + QString::fromUtf8(maker::kHomepageText));
    EXPECT_EQ(window->ButWeb->toolTip(), QStringLiteral("Homepage im Browser öffnen"));
  }
  EXPECT_EQ(info.ButWeb->geometry(), QRect(192, 213, 161, 41));
  EXPECT_EQ(help.ButBack->geometry(), QRect(8, 213, 217, 41));
}

// The sizes are the windows' outer sizes, frame included, and the windows
// open in the middle of the desktop.
TEST_F(TextWindowsTest, OuterSizesIncludeTheFrameAndTheWindowsOpenCentred) {
  TFinfo info;
  TFhilfe help;
  const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
  for (auto [window, outer] : {std::pair<TTextWindow*, QSize>{&info, QSize(369, 289)}, {&help, QSize(460, 290)}}) {
    window->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_NE(window->frameGeometry().size(), window->size()) << "this platform draws no frame to test with";
    EXPECT_EQ(window->frameGeometry().size(), outer);
    EXPECT_LE((window->frameGeometry().center() - desktop.center()).manhattanLength(), 2);
    window->close();
  }
}

TEST_F(TextWindowsTest, HomepageButtonBeepsOnceOpensThePageAndLeavesTheWindowOpen) {
  TFhilfe help;
  help.open();
  QTest::mouseClick(help.ButWeb, Qt::LeftButton);
  EXPECT_EQ(beeps_, 1);
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], QUrl(QString::fromUtf8(maker::kHomepageUrl)));
  EXPECT_TRUE(help.isVisible());
  help.close();
}

// The real modal loop, answered from inside it; a guard ends it should the
// key not arrive, so the test can fail but never hang.
TEST_F(TextWindowsTest, RealModalDisplayEndsWithEnter) {
  TFinfo info;
  bool focusOnBack = false;
  QTimer::singleShot(0, &info, [&] {
    focusOnBack = QApplication::activeModalWidget() == &info && info.focusWidget() == info.ButBack;
    QTest::keyClick(info.focusWidget() ? info.focusWidget() : &info, Qt::Key_Return);
  });
  QTimer guard;
  guard.setSingleShot(true);
  bool guardFired = false;
  QObject::connect(&guard, &QTimer::timeout, &info, [&] {
    guardFired = true;
    info.done(99);
  });
  guard.start(5000);
  const int result = ShowModal(info);
  EXPECT_FALSE(guardFired);
  EXPECT_NE(result, 99);
  EXPECT_TRUE(focusOnBack);
  EXPECT_FALSE(info.isVisible());
}

TEST(QtTranslationsTest, QtsOwnButtonsSpeakGerman) {
  ASSERT_TRUE(InstallGermanQtTranslations(*QApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("Datei&name:"));
}

}  // namespace
}  // namespace lk24::test
