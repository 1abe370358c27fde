// The settings inside the real main window: started from a template, typed
// into with real keys, the examples' figures read back from its controls.
#include "ShellTestSupport.h"

#include "ui/ULK24.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

namespace lk24 {
namespace {

class SettingsInMainWindow : public test::ShellTest {
 protected:
  // A valid template whose image has interval transmission on, so the
  // battery panel shows, and 433,92 MHz with free pauses.
  void startWindow() {
    ConfigImage image = test::sampleImage();
    image.DeviceImage[91] = 0x02;
    image.DeviceImage[233] = 0x00;
    test::writeTemplate(test::templateLines(image, 1));
    form = std::make_unique<TForm1>();
    ASSERT_FALSE(form->TemplateInvalid);
    form->showdata();
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  QLineEdit* field(const char* name) {
    auto* found = form->findChild<QLineEdit*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  void typeInto(const char* name, const char* text) {
    QLineEdit* edit = field(name);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(edit->hasFocus()) << name;
  }

  std::unique_ptr<TForm1> form;
};

TEST_F(SettingsInMainWindow, ExampleFiguresComeOutOfTheWindow) {
  startWindow();
  struct Battery {
    const char* brightness;
    const char* interval;
    const char* days;
  };
  for (const Battery& b : {Battery{"5", "60", " 230"}, Battery{"10", "5", "  31"}, Battery{"0", "3600", " 469"},
                           Battery{"5", "40", " 183"}}) {
    typeInto("T_LedHell", b.brightness);
    typeInto("Meldeintervall", b.interval);
    EXPECT_EQ(field("Tage")->text(), b.days);
  }
  typeInto("Meldeintervall", "150");
  EXPECT_EQ(form->findChild<QLabel*>("LTmin")->text(), "(ca. 2 min)");
  EXPECT_EQ(form->image().DeviceImage[88], 0);
  EXPECT_EQ(form->image().DeviceImage[89], 150);

  auto* receiverTabs = form->findChild<QTabWidget*>("PageControl2");
  receiverTabs->setCurrentIndex(1);
  typeInto("R_TonPer", "3");
  EXPECT_EQ(form->findChild<QLabel*>("Lfreq")->text(), "(ca. 41667 Hz)");
  EXPECT_EQ(beeps_, 0);
}

TEST_F(SettingsInMainWindow, FactoryPagesAreCoveredFromTheStart) {
  startWindow();
  for (const char* cover : {"PTwerk", "PRwerk"}) {
    auto* label = form->findChild<QLabel*>(cover);
    ASSERT_NE(label, nullptr) << cover;
    EXPECT_FALSE(label->isHidden()) << cover;
  }
  // The write-permission box shows the image's bit although no one can reach it.
  const bool allowed = (form->image().DeviceImage[3] & 0x01) == 0;
  EXPECT_EQ(form->findChild<QCheckBox*>("CBwriteallow")->isChecked(), allowed);
}

}  // namespace
}  // namespace lk24
