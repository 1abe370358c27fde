// A value typed into a field and not yet confirmed is taken by every request
// that does not move the focus (a menu command, its shortcut, the close), and
// the end of the session is a close request like the close box.
#include "ShellTestSupport.h"
#include "link/EventLoopWait.h"

#include "link/DeviceLink.h"
#include "model/ConfigurationFile.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/ConfirmBox.h"
#include "ui/FileDialogs.h"
#include "ui/ModalDialog.h"
#include "ui/SessionEndWatch.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <csignal>
#include <cstdlib>

namespace lk24::test {
namespace {

class NothingTypedIsLost : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    // No request may reach a port of this machine.
    ::setenv("LK24_COM1", "/nonexistent/lk24-port", 1);
    writeTemplate(templateLines(userTemplate(), 1));
    openWindow();
  }
  void TearDown() override {
    SetYesNoHandler({});
    SetFileDialogExecuteHandler({});
    SetShowModalHandler({});
    form.reset();
    ::unsetenv("LK24_COM1");
    ShellTest::TearDown();
  }

  void openWindow() {
    form = std::make_unique<TForm1>();
    ASSERT_FALSE(form->TemplateInvalid);
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->showdata();
  }

  // Every bit the user's, so that the merge keeps what was typed.
  static ConfigImage userTemplate() {
    ConfigImage image = sampleImage();
    image.AndMask.fill(0xFF);
    image.OrMask.fill(0x00);
    return image;
  }

  // Types a word field without leaving the field or pressing Enter.
  void typePending(int value) {
    const QByteArray text = QByteArray::number(value);
    ASSERT_NE(word(), value);
    auto* edit = form->findChild<QLineEdit*>(QStringLiteral("L2_off"));
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    edit->selectAll();
    QTest::keyClicks(edit, text.constData());
    ASSERT_TRUE(edit->hasFocus());
  }
  int word() const { return form->image().DeviceImage[42] * 256 + form->image().DeviceImage[43]; }
  static int wordIn(const char* file) {
    const ConfigurationFileLoad load = readConfigurationFile(file);
    EXPECT_TRUE(load.ok) << file;
    return load.deviceImage[42] * 256 + load.deviceImage[43];
  }
  bool idle() const { return waitUntil([&] { return !form->link().transferRunning(); }, 20000); }

  std::unique_ptr<TForm1> form;
};

TEST_F(NothingTypedIsLost, EveryMenuCommandTakesTheTypedValue) {
  // Each dialog is answered, and "Ja/Nein" with no, so that nothing goes to
  // a device; the file dialogs save to typed.lk2 and cancel a load.
  SetYesNoHandler([](const QString&) { return false; });
  SetShowModalHandler([](QDialog&) { return 0; });
  SetFileDialogExecuteHandler([](FileDialog& dialog) {
    if (dialog.purpose() == FileDialog::Purpose::Open) return false;
    dialog.setFileName(dialog.DefaultExt() == QStringLiteral("pdf") ? QStringLiteral("typed.pdf")
                                                                    : QStringLiteral("typed.lk2"));
    return true;
  });
  const std::vector<QAction* TForm1::*> commands = {
      &TForm1::Speichern1,   &TForm1::Laden1, &TForm1::BerichtDrucken1, &TForm1::BerichtPdf1,
      &TForm1::Datensenden1, &TForm1::COM21,  &TForm1::COM31,           &TForm1::COM41,
      &TForm1::COM11,        &TForm1::Vergleichen1,
  };
  int value = 700;
  for (QAction* TForm1::*command : commands) {
    QAction* action = form.get()->*command;
    SCOPED_TRACE(action->text().toStdString());
    ASSERT_TRUE(action->isEnabled());
    typePending(++value);
    action->trigger();
    EXPECT_EQ(word(), value);  // taken before the request's refresh
    ASSERT_TRUE(idle());
  }
  EXPECT_EQ(wordIn("typed.lk2"), 701);

  // The menu's own keys, as a user presses them: Alt+D, then S for "Speichern".
  typePending(++value);
  QTest::keyClick(form.get(), Qt::Key_D, Qt::AltModifier);
  ASSERT_TRUE(waitUntil([&] { return QApplication::activePopupWidget() == form->Datei1; }, 5000));
  QTest::keyClick(form->Datei1, Qt::Key_S);
  EXPECT_EQ(wordIn("typed.lk2"), value);

  typePending(++value);
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(wordIn(kTemplateFileName), value);
}

// The session's end as the program wires it: a close request that waits for
// the running write pass, which took the typed value, and then writes it to
// LK24.ini.
TEST_F(NothingTypedIsLost, TheEndOfTheSessionDuringAWritePassKeepsTheTypedValue) {
  devsim::Options slow;
  slow.latencyMs = 2;  // one byte per turn of the event loop
  devsim::DeviceSimulator device(slow);
  std::string error;
  ASSERT_TRUE(device.start(&error)) << error;
  ::setenv("LK24_COM1", device.slavePath().c_str(), 1);
  SessionEndWatch watch([this] { form->sessionEnded(); }, [this] { return form->link().transferRunning(); });
  SetYesNoHandler([](const QString&) { return true; });

  typePending(777);
  form->Datensenden1->trigger();
  const TransferState& state = form->link().state();
  ASSERT_TRUE(waitUntil([&] { return state.ProgramMode() && !state.ReadMode() && state.BytePos >= 60; }, 20000));
  ::raise(SIGTERM);
  ASSERT_TRUE(waitUntil([&] { return logTexts(form->MInfo).contains(
                                  QStringLiteral("    Das Fenster schließt, wenn die Übertragung beendet ist.")); },
                        5000));
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->link().transferRunning());

  ASSERT_TRUE(waitUntil([&] { return !form->isVisible(); }, 20000));
  EXPECT_EQ(wordIn(kTemplateFileName), 777);
  EXPECT_EQ(device.eeprom()[42] * 256 + device.eeprom()[43], 777);
}

TEST_F(NothingTypedIsLost, EverySignalOfTheSessionsEndClosesTheWindowLikeItsCloseBox) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
    SCOPED_TRACE(signal);
    SessionEndWatch watch([this] { form->sessionEnded(); }, [this] { return form->link().transferRunning(); });
    typePending(777);
    ::raise(signal);
    EXPECT_TRUE(waitUntil([&] { return !form->isVisible(); }, 5000));
    EXPECT_EQ(wordIn(kTemplateFileName), 777);
    // A new window for the next signal.
    QFile::remove(QString::fromLatin1(kTemplateFileName));
    writeTemplate(templateLines(userTemplate(), 1));
    openWindow();
  }
}

}  // namespace
}  // namespace lk24::test
