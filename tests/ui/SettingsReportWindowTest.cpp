// The window's comparison with a simulated device over a pseudo-terminal,
// and its report: saved as PDF, and handed to the print preview.

#include "ShellTestSupport.h"
#include "link/EventLoopWait.h"

#include "link/DeviceLink.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/FileDialogs.h"
#include "ui/MessageLog.h"
#include "ui/ModalDialog.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

#include <cstdlib>

namespace lk24::test {
namespace {

using devsim::DeviceSimulator;

class SettingsReportWindowTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    QFile::copy(QStringLiteral(LK24_SOURCE_DIR "/templates/LK24.ini"), QStringLiteral("LK24.ini"));
    device_ = std::make_unique<DeviceSimulator>(devsim::Options{});
    std::string error;
    ASSERT_TRUE(device_->start(&error)) << error;
    ::setenv("LK24_COM1", device_->slavePath().c_str(), 1);
  }
  void TearDown() override {
    SetFileDialogExecuteHandler({});
    SetShowModalHandler({});
    ::unsetenv("LK24_COM1");
    ShellTest::TearDown();
  }

  static bool waitForIdle(TForm1& form) {
    return waitUntil([&] { return !form.link().transferRunning(); }, 20000);
  }

  // The device's "Alarm nach:" (24-25) set to seconds.
  void setDeviceAlarmTime(int seconds) {
    Table eeprom = device_->eeprom();
    eeprom[24] = static_cast<std::uint8_t>(seconds / 256);
    eeprom[25] = static_cast<std::uint8_t>(seconds % 256);
    eeprom[239] = calculatechecksum(eeprom);
    device_->setEeprom(eeprom);
  }

  static const LogLine* lineWith(const std::vector<LogLine>& lines, const QString& text) {
    for (const LogLine& line : lines) {
      if (line.text == text) return &line;
    }
    return nullptr;
  }

  std::unique_ptr<DeviceSimulator> device_;
};

TEST_F(SettingsReportWindowTest, ComparisonListsTheDifferencesAndLeavesTheWindowAsItWas) {
  TForm1 form;
  form.LeseButtonClick();
  ASSERT_TRUE(waitForIdle(form));
  setDeviceAlarmTime(900);
  const Table shown = form.image().DeviceImage;
  const int shownSeconds = shown[24] * 256 + shown[25];

  form.Vergleichen1->trigger();
  EXPECT_TRUE(form.link().transferRunning());
  EXPECT_FALSE(form.Vergleichen1->isEnabled());  // no second request while one runs
  EXPECT_FALSE(form.LeseButton->isEnabled());
  ASSERT_TRUE(waitForIdle(form));
  EXPECT_TRUE(form.Vergleichen1->isEnabled());

  EXPECT_EQ(form.image().DeviceImage, shown);
  EXPECT_TRUE(form.ReceiverDetected());
  const std::vector<LogLine> lines = logLines(form.MInfo);
  const LogLine* difference = lineWith(lines, QStringLiteral(" Alarm nach:  %1 | 900").arg(shownSeconds));
  ASSERT_NE(difference, nullptr) << logTexts(form.MInfo).join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(difference->colours, std::set<QRgb>{clRed.rgb()});
  // The heading and that setting; not the checksum that goes with it.
  EXPECT_EQ(logTexts(form.MInfo).filter(QStringLiteral(" | ")).size(), 2)
      << logTexts(form.MInfo).join(QLatin1Char('|')).toStdString();

  setDeviceAlarmTime(shownSeconds);
  form.MInfo->clear();
  form.Vergleichen1->trigger();
  ASSERT_TRUE(waitForIdle(form));
  const std::vector<LogLine> agreeing = logLines(form.MInfo);
  const LogLine* agree = lineWith(agreeing, QStringLiteral(" Fenster und Gerät stimmen überein"));
  ASSERT_NE(agree, nullptr) << logTexts(form.MInfo).join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(agree->colours, std::set<QRgb>{QColor(Qt::black).rgb()});
}

// The report shows what the window shows, a value typed and not yet
// confirmed too.
TEST_F(SettingsReportWindowTest, TheReportIsSavedAsPdfWithTheTypedValueAndPreviewedOnA4) {
  TForm1 form;
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.LeseButtonClick();
  ASSERT_TRUE(waitForIdle(form));
  ASSERT_TRUE(form.ReceiverDetected());
  auto* alarm = form.findChild<QLineEdit*>(QStringLiteral("R_AlarmZeit"));
  ASSERT_NE(alarm, nullptr);
  ASSERT_NE(alarm->text().trimmed(), QStringLiteral("600"));
  QTest::mouseClick(alarm, Qt::LeftButton, {}, alarm->rect().center());
  alarm->selectAll();
  QTest::keyClicks(alarm, "600");
  ASSERT_TRUE(alarm->hasFocus());

  SetFileDialogExecuteHandler([](FileDialog& dialog) {
    EXPECT_EQ(dialog.DefaultExt(), QStringLiteral("pdf"));
    dialog.setFileName(QStringLiteral("bericht.pdf"));
    return true;
  });
  form.BerichtPdf1->trigger();
  QFile pdf(QStringLiteral("bericht.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
  EXPECT_TRUE(logTexts(form.MInfo).contains(QStringLiteral(" Bericht gespeichert unter \"bericht.pdf\"")));
  QProcess pdftotext;
  pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("bericht.pdf"), QStringLiteral("-")});
  ASSERT_TRUE(pdftotext.waitForFinished(30000)) << "pdftotext (poppler-utils) is missing";
  const QString rows = QString::fromUtf8(pdftotext.readAllStandardOutput());
  EXPECT_TRUE(rows.contains(QRegularExpression(QStringLiteral("Alarm nach:\\s+600 sec\\n")))) << rows.toStdString();

  int previews = 0;
  SetShowModalHandler([&](QDialog& dialog) {
    auto* preview = qobject_cast<QPrintPreviewDialog*>(&dialog);
    EXPECT_NE(preview, nullptr);
    if (preview) {
      EXPECT_EQ(preview->printer()->pageLayout().pageSize().id(), QPageSize::A4);
    }
    ++previews;
    return 0;
  });
  form.BerichtDrucken1->trigger();
  EXPECT_EQ(previews, 1);
}

TEST_F(SettingsReportWindowTest, TheReducedStateOffersNeitherComparisonNorReport) {
  QFile::remove(QStringLiteral("LK24.ini"));
  TForm1 form;
  EXPECT_FALSE(form.Vergleichen1->isEnabled());
  EXPECT_FALSE(form.BerichtDrucken1->isEnabled());
  EXPECT_FALSE(form.BerichtPdf1->isEnabled());
}

}  // namespace
}  // namespace lk24::test
