// A value typed into a field and not yet confirmed is taken by every request
// that does not move the focus (a menu command, its shortcut, the close), and
// the end of the session is a close request like the close box.
#include "ShellTestSupport.h"
#include "link/EventLoopWait.h"

#include "model/ConfigurationFile.h"
#include "ui/ConfirmBox.h"
#include "ui/FileDialogs.h"
#include "ui/SessionEndWatch.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

#include <csignal>

namespace lk24::test {
namespace {

class NothingTypedIsLost : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    writeTemplate(templateLines(userTemplate(), 1));
    form = std::make_unique<TForm1>();
    ASSERT_FALSE(form->TemplateInvalid);
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->showdata();
  }
  void TearDown() override {
    SetYesNoHandler({});
    SetFileDialogExecuteHandler({});
    form.reset();
    ShellTest::TearDown();
  }

  // Every bit the user's, so that the merge keeps what was typed.
  static ConfigImage userTemplate() {
    ConfigImage image = sampleImage();
    image.AndMask.fill(0xFF);
    image.OrMask.fill(0x00);
    return image;
  }

  // Types a word field without leaving the field or pressing Enter.
  void typePending(const char* text) {
    ASSERT_NE(QByteArray::number(word()), QByteArray(text));
    auto* edit = form->findChild<QLineEdit*>(QStringLiteral("L2_off"));
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    QTest::keyClicks(edit, text);
    ASSERT_TRUE(edit->hasFocus());
  }
  int word() const { return form->image().DeviceImage[42] * 256 + form->image().DeviceImage[43]; }
  static int wordIn(const char* file) {
    const ConfigurationFileLoad load = readConfigurationFile(file);
    EXPECT_TRUE(load.ok) << file;
    return load.deviceImage[42] * 256 + load.deviceImage[43];
  }

  std::unique_ptr<TForm1> form;
};

TEST_F(NothingTypedIsLost, MenuCommandsAndTheCloseTakeTheTypedValue) {
  typePending("777");
  SetFileDialogExecuteHandler([](FileDialog& dialog) {
    dialog.setFileName(QStringLiteral("typed.lk2"));
    return true;
  });
  form->Speichern1->trigger();
  EXPECT_EQ(wordIn("typed.lk2"), 777);

  typePending("778");
  SetYesNoHandler([](const QString&) { return false; });  // nothing goes to a device
  form->Datensenden1->trigger();
  EXPECT_EQ(word(), 778);  // taken before the request's refresh

  typePending("779");
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(wordIn(kTemplateFileName), 779);
}

TEST_F(NothingTypedIsLost, TheEndOfTheSessionClosesTheWindowLikeItsCloseBox) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
    SCOPED_TRACE(signal);
    SessionEndWatch watch([this] { form->close(); });
    typePending("777");
    ::raise(signal);
    EXPECT_TRUE(waitUntil([&] { return !form->isVisible(); }, 5000));
    EXPECT_EQ(wordIn(kTemplateFileName), 777);
    // A new window for the next signal.
    QFile::remove(QString::fromLatin1(kTemplateFileName));
    writeTemplate(templateLines(userTemplate(), 1));
    form = std::make_unique<TForm1>();
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
}

}  // namespace
}  // namespace lk24::test
