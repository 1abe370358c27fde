// Reading and programming a simulated device through the real window, the
// real serial stack and a pseudo-terminal, as a user does it with the two
// big buttons.

#include "ShellTestSupport.h"
#include "link/EventLoopWait.h"

#include "editor/ImageCorrections.h"
#include "editor/NumberCodecs.h"
#include "link/DeviceLink.h"
#include "model/ConfigurationFile.h"
#include "model/DeviceBackup.h"
#include "serial/AfComPort.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/ConfirmBox.h"
#include "ui/FileDialogs.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QDir>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>

namespace lk24::test {
namespace {

using devsim::DeviceSimulator;
using devsim::DeviceType;
using devsim::Options;

class TransferWindowTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    QFile::copy(QStringLiteral(LK24_SOURCE_DIR "/templates/LK24.ini"), QStringLiteral("LK24.ini"));
    SetYesNoHandler([this](const QString& question) {
      questions_ << question;
      return true;
    });
  }
  void TearDown() override {
    SetYesNoHandler({});
    SetFileDialogExecuteHandler({});
    ::unsetenv("LK24_COM1");
    ::unsetenv("LK24_COM3");
    ShellTest::TearDown();
  }

  void startDevice(Options options) {
    device_ = std::make_unique<DeviceSimulator>(std::move(options));
    std::string error;
    ASSERT_TRUE(device_->start(&error)) << error;
    ::setenv("LK24_COM1", device_->slavePath().c_str(), 1);
  }

  // Runs the event loop until the transfer has ended (or 20 s passed).
  static bool waitForIdle(TForm1& form) {
    return waitUntil([&] { return !form.link().transferRunning(); }, 20000);
  }

  static int countLines(const TForm1& form, const QString& text) {
    return static_cast<int>(logTexts(form.MInfo).count(text));
  }

  // What a program run must leave in the device: the window's image refreshed
  // and merged, the device's own serial numbers, bytes 248.. never written.
  static Table programmedImage(const ConfigImage& window, const Table& device) {
    ConfigImage image = window;
    applyImageCorrections(image.DeviceImage);
    image.FilterUserData();
    Table expected = image.DeviceImage;
    for (int a : {176, 177, 234, 235}) expected[a] = device[a];
    expected[239] = calculatechecksum(expected);
    for (int a = 248; a < kImageSize; ++a) expected[a] = device[a];
    return expected;
  }

  static QStringList backupFiles() {
    return QDir(QString::fromLatin1(kBackupFolderName)).entryList(QDir::Files, QDir::Name);
  }

  std::unique_ptr<DeviceSimulator> device_;
  QStringList questions_;
};

TEST_F(TransferWindowTest, AuslesenShowsTheReceiverInEveryField) {
  startDevice(Options{});
  TForm1 form;
  form.LeseButtonClick();
  EXPECT_FALSE(form.LeseButton->isEnabled());  // no second request while one runs
  EXPECT_FALSE(form.Datenempfangen1->isEnabled());
  EXPECT_FALSE(form.Laden1->isEnabled());
  ASSERT_TRUE(waitForIdle(form));

  EXPECT_EQ(countLines(form, QStringLiteral("Daten erfolgreich gelesen")), 1) << logTexts(form.MInfo).join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(countLines(form, QStringLiteral("- Notrufempfänger erkannt -")), 1);
  EXPECT_TRUE(form.ReceiverDetected());
  EXPECT_FALSE(form.TransmitterDetected());
  EXPECT_TRUE(form.PRaktiv->isVisible() || !form.PRaktiv->isHidden());
  EXPECT_TRUE(form.PTaktiv->isHidden());
  EXPECT_TRUE(form.LeseButton->isEnabled());
  EXPECT_TRUE(form.Datenempfangen1->isEnabled());
  EXPECT_TRUE(form.Laden1->isEnabled());
  EXPECT_EQ(beeps_, 0);

  Table expected = device_->eeprom();
  applyImageCorrections(expected);
  EXPECT_EQ(form.image().DeviceImage, expected);

  // A few fields as the user sees them.
  const auto field = [&](const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name))->text(); };
  const auto word = [&](int a) { return expected[a] * 256 + expected[a + 1]; };
  EXPECT_EQ(field("R_ID"), QString::fromStdString(setString(5, word(22))));
  EXPECT_EQ(field("R_AlarmZeit"), QString::fromStdString(setString(5, word(24))));
  EXPECT_EQ(field("LRSernum"), QString::fromStdString(fillString(5, '0', word(176))));
  EXPECT_EQ(field("LRFirm"), QStringLiteral(" 1.05"));
  EXPECT_EQ(field("LTFirm"), QStringLiteral(" ??? "));

  // The port closes 200 ms after the last byte.
  EXPECT_TRUE(waitUntil([&] { return !form.RS232->Active(); }, 2000));
}

TEST_F(TransferWindowTest, ProgrammierenWritesTheMergedImageWithTheDevicesSerialNumbers) {
  startDevice(Options{});
  const Table original = device_->eeprom();
  TForm1 form;
  // The user's image differs from the device's, also in the serial numbers.
  form.image().DeviceImage[22] = 0x43;
  form.image().DeviceImage[23] = 0x21;
  form.image().DeviceImage[176] = 0x99;
  form.image().DeviceImage[235] = 0x77;
  const Table expected = programmedImage(form.image(), original);

  form.ProgButtonClick();
  EXPECT_EQ(questions_, QStringList{QStringLiteral("Gerätekonfiguration überschreiben?")});
  ASSERT_TRUE(waitForIdle(form));
  EXPECT_EQ(countLines(form, QStringLiteral("Daten erfolgreich übertragen")), 1) << logTexts(form.MInfo).join('|').toStdString();
  EXPECT_EQ(device_->eeprom(), expected);
  EXPECT_EQ(beeps_, 0);
  EXPECT_TRUE(form.ProgButton->isEnabled());

  // Beside the template, one backup of what the device held before, named in the log.
  const QStringList backups = backupFiles();
  ASSERT_EQ(backups.size(), 1);
  EXPECT_TRUE(backups[0].startsWith(QStringLiteral("Empfaenger-04711-"))) << backups[0].toStdString();
  const QString backup = QDir(QString::fromLatin1(kBackupFolderName)).absoluteFilePath(backups[0]);
  EXPECT_EQ(readConfigurationFile(backup.toStdString()).deviceImage, original);
  EXPECT_EQ(countLines(form, QStringLiteral(" Gerätedaten gesichert unter \"") + backup + QLatin1Char('"')), 1);
}

TEST_F(TransferWindowTest, ACloseRequestDuringTheWritePassWaitsForTheVerifiedDevice) {
  Options slow;
  slow.latencyMs = 2;  // one byte per turn of the event loop
  startDevice(slow);
  const Table original = device_->eeprom();
  TForm1 form;
  form.show();
  ASSERT_TRUE(waitUntil([&] { return !form.inittimer->isActive(); }, 5000));  // drawn and refreshed
  form.image().DeviceImage[22] = 0x43;
  const Table expected = programmedImage(form.image(), original);
  QFile::remove(QString::fromLatin1(kTemplateFileName));  // written again at close

  form.ProgButtonClick();
  const TransferState& state = form.link().state();
  ASSERT_TRUE(waitUntil([&] { return state.ProgramMode() && !state.ReadMode() && state.BytePos >= 60; }, 20000));
  EXPECT_LT(state.BytePos, 70);  // write 60 (one byte per turn of the loop) or just after it
  // Nothing may change the image while the device is being written.
  EXPECT_FALSE(form.PSender->isEnabled());
  EXPECT_FALSE(form.Pempfang->isEnabled());
  EXPECT_FALSE(form.Speichern1->isEnabled());
  EXPECT_FALSE(form.Laden1->isEnabled());

  form.close();
  form.Exit1->trigger();  // asked twice: still one note, still open
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(countLines(form, QStringLiteral("    Das Fenster schließt, wenn die Übertragung beendet ist.")), 1);
  EXPECT_FALSE(templateExists());

  ASSERT_TRUE(waitUntil([&] { return !form.isVisible(); }, 20000));
  EXPECT_EQ(countLines(form, QStringLiteral("Daten erfolgreich übertragen")), 1);
  EXPECT_EQ(device_->eeprom(), expected);
  EXPECT_TRUE(templateExists());

  // The close handler ran once: a later close request writes nothing.
  QFile::remove(QString::fromLatin1(kTemplateFileName));
  form.close();
  EXPECT_FALSE(templateExists());
}

// A write pass that fails after the close request (the device falls silent,
// or the cable is pulled) still closes the window, and LK24.ini then holds
// the image the user asked to program, not the device's old one.
TEST_F(TransferWindowTest, ACloseRequestDuringAWritePassThatFailsKeepsTheUsersImageInTheTemplate) {
  for (const bool pulled : {false, true}) {
    SCOPED_TRACE(pulled ? "cable pulled" : "device silent");
    Options failing;
    failing.latencyMs = 2;
    if (!pulled) failing.stopAfter = 256 + 21 + 80;  // silent from write 80 on
    startDevice(failing);
    TForm1 form;
    form.show();
    ASSERT_TRUE(waitUntil([&] { return !form.inittimer->isActive(); }, 5000));
    form.image().DeviceImage[22] = 0x43;
    ConfigImage requested = form.image();
    applyImageCorrections(requested.DeviceImage);
    requested.FilterUserData();
    QFile::remove(QString::fromLatin1(kTemplateFileName));

    form.ProgButtonClick();
    const TransferState& state = form.link().state();
    ASSERT_TRUE(waitUntil([&] { return state.ProgramMode() && !state.ReadMode() && state.BytePos >= 60; }, 20000))
        << logTexts(form.MInfo).join(QLatin1Char('|')).toStdString();
    form.close();
    if (pulled) device_->vanish();
    ASSERT_TRUE(waitUntil([&] { return !form.isVisible(); }, 20000));
    EXPECT_EQ(countLines(form, QStringLiteral("Daten erfolgreich übertragen")), 0);
    const ConfigurationFileLoad saved = readConfigurationFile(kTemplateFileName);
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(saved.deviceImage, requested.DeviceImage);
  }
}

TEST_F(TransferWindowTest, LadenAfterAFailedReadStoresThePortWithoutOpeningIt) {
  Options silent;
  silent.silent = true;
  startDevice(silent);
  ::setenv("LK24_COM3", "/nonexistent/lk24-com3", 1);
  TForm1 form;
  form.LeseButtonClick();
  ASSERT_TRUE(waitForIdle(form));
  ASSERT_TRUE(form.RS232->Active());  // no byte came, so the port stayed open

  ConfigImage file = sampleImage();
  writeFile("com3.lk2", templateLines(file, 3).text());
  const QString path = QDir::current().absoluteFilePath(QStringLiteral("com3.lk2"));
  SetFileDialogExecuteHandler([path](FileDialog& dialog) {
    dialog.setFileName(path);
    return true;
  });
  form.Laden1Click();
  EXPECT_EQ(countLines(form, QStringLiteral(" Datei geladen ")), 1);
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(form.comNumber(), 3);
  EXPECT_FALSE(form.RS232->Active());
  EXPECT_EQ(form.SaveDialog1.FileName(), path);
  Table loaded = parseDeviceImage(templateLines(file, 3)).value();
  applyImageCorrections(loaded);  // the refresh after the load
  EXPECT_EQ(form.image().DeviceImage, loaded);
}

TEST_F(TransferWindowTest, AVerifyWithDifferencesListsThemAndTheRetryWritesTheUsersImage) {
  Options stuck;
  stuck.stuckAt = 22;  // a cell that echoes its byte but keeps the old one
  startDevice(stuck);
  const Table original = device_->eeprom();
  ASSERT_NE(original[22], 0x43);
  TForm1 form;
  form.image().DeviceImage[22] = 0x43;
  const Table expected = programmedImage(form.image(), original);
  form.ProgButtonClick();
  ASSERT_TRUE(waitForIdle(form));
  EXPECT_EQ(countLines(form, QStringLiteral("! FEHLER Verify !")), 1);
  const QStringList log = logTexts(form.MInfo);
  const QString detail = QStringLiteral(": Gerät %1, gewünscht 67").arg(original[22]);
  EXPECT_EQ(log.filter(QStringLiteral("1 Byte abweichend: ")).filter(QStringLiteral("Byte 22")).filter(detail).size(), 1) << log.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(countLines(form, QStringLiteral("Daten erfolgreich übertragen")), 0);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(form.image().DeviceImage[22], 0x43);  // the user's value, not the read-back

  // The cell repaired, "Programmieren" again from what the window holds.
  const Table halfDone = device_->eeprom();
  startDevice(Options{});
  device_->setEeprom(halfDone);
  form.ProgButtonClick();
  ASSERT_TRUE(waitForIdle(form));
  EXPECT_EQ(countLines(form, QStringLiteral("Daten erfolgreich übertragen")), 1);
  EXPECT_EQ(device_->eeprom(), expected);
}

TEST_F(TransferWindowTest, NoDeviceOnTheLineReportsByteZeroAndFreesTheWindow) {
  Options silent;
  silent.silent = true;
  startDevice(silent);
  TForm1 form;
  form.LeseButtonClick();
  ASSERT_TRUE(waitForIdle(form));
  const QStringList texts = logTexts(form.MInfo);
  EXPECT_EQ(texts.count(QStringLiteral("Übertragungsfehler bei Byte 0")), 1);
  EXPECT_EQ(texts.count(QStringLiteral("    ! Verbindung prüfen !")), 1);
  EXPECT_TRUE(form.LeseButton->isEnabled());
  EXPECT_TRUE(form.ProgButton->isEnabled());
  EXPECT_TRUE(form.COM21->isEnabled());
}

}  // namespace
}  // namespace lk24::test
