// Saving and loading configuration files through the main window, with the
// file dialogs answered by the test.

#include "ShellTestSupport.h"

#include "editor/ImageCorrections.h"
#include "ui/FileDialogs.h"
#include "ui/MessageLog.h"
#include "ui/StatusPanels.h"
#include "ui/ULK24.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QTest>
#include <QRegularExpression>

#include <csignal>
#include <filesystem>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace lk24::test {
namespace {

const QString kLoadError = QStringLiteral(" Fehler bei \"Datei laden!\"");
const QString kSaveError = QStringLiteral(" Fehler bei \"Datei speichern!\"");

class FileCommandsTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    writeTemplate(templateLines(sampleImage(), 2));
  }
  void TearDown() override {
    SetFileDialogExecuteHandler({});
    ShellTest::TearDown();
  }

  // The next dialog is confirmed with this name (relative names are taken
  // in the test's directory), or cancelled when name is empty.
  void answerDialogsWith(const QString& name) {
    const QString path = name.isEmpty() || QFileInfo(name).isAbsolute() ? name : dir_.filePath(name);
    SetFileDialogExecuteHandler([path, this](FileDialog& dialog) {
      lastTitle_ = dialog.Title();
      lastProposed_ = dialog.FileName();
      if (path.isEmpty()) return false;
      dialog.setFileName(path);
      return true;
    });
  }

  // The entry that the last command added: its text and colours.
  static LogLine lastEntry(const TForm1& form) {
    const auto lines = logLines(form.MInfo);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      if (!it->text.isEmpty() && !QRegularExpression(QStringLiteral("^\\d{1,2}:\\d{2}")).match(it->text).hasMatch()) {
        return *it;
      }
    }
    return {};
  }

  QString lastTitle_;
  QString lastProposed_;
};

TEST_F(FileCommandsTest, SaveThenLoadRestoresTheMergedImageAndThePort) {
  TForm1 form;
  form.image().DeviceImage[100] = 0xC3;  // AndMask 0x0F here: the merge keeps only the low nibble
  form.setComNumber(3);
  ConfigImage expected = form.image();
  expected.FilterUserData();
  // What the window shows after each command: the merged image with the
  // refresh's own corrections.
  Table shownAfterRefresh = expected.DeviceImage;
  applyImageCorrections(shownAfterRefresh);

  answerDialogsWith(QStringLiteral("saved.lk2"));
  form.Speichern1Click();
  EXPECT_EQ(lastTitle_, QStringLiteral("Datei Speichern"));
  EXPECT_EQ(lastProposed_, QStringLiteral("default.lk2"));
  const QString saved = dir_.filePath(QStringLiteral("saved.lk2"));
  EXPECT_EQ(lastEntry(form).text, QStringLiteral(" file gespeichert unter \"") + saved + '"');
  EXPECT_EQ(lastEntry(form).colours, std::set<QRgb>{clBlack.rgb()});
  EXPECT_EQ(form.image().DeviceImage, shownAfterRefresh);  // the window now holds the merged image too
  EXPECT_EQ(form.OpenDialog1.FileName(), saved);
  EXPECT_EQ(form.SB1->panelText(1), saved);
  EXPECT_EQ(beeps_, 0);

  // The file is a template in its own right: 1040 CR LF lines, checksum right.
  const std::string text = readFile(saved.toStdString());
  LineList lines;
  lines.setText(text);
  EXPECT_EQ(lines.count(), 1040);
  EXPECT_EQ(lines.text(), text);
  ConfigImage check;
  EXPECT_EQ(loadTemplateTables(lines, check), TemplateLoad::Valid);

  form.image().DeviceImage.fill(0x5A);
  form.setComNumber(1);
  answerDialogsWith(saved);
  form.Laden1Click();
  EXPECT_EQ(lastTitle_, QStringLiteral("Datei Laden"));
  EXPECT_EQ(lastProposed_, saved);  // the open dialog proposes the saved file
  EXPECT_EQ(lastEntry(form).text, QStringLiteral(" Datei geladen "));
  EXPECT_EQ(form.comNumber(), 3);
  EXPECT_EQ(form.SaveDialog1.FileName(), saved);
  EXPECT_EQ(form.SB1->panelText(0), QStringLiteral("COM3"));
  EXPECT_EQ(form.image().DeviceImage, shownAfterRefresh);
  for (int i = 0; i < kImageSize; ++i) {
    EXPECT_EQ(lines.line(line::kDeviceImage + i), std::to_string(expected.DeviceImage[i])) << i;
  }
}

TEST_F(FileCommandsTest, CancellingReportsAndHandsOnTheOpenDialogsName) {
  TForm1 form;
  answerDialogsWith(QString());
  form.Laden1Click();
  EXPECT_EQ(lastEntry(form).text, QStringLiteral("\"Datei Laden\" abgebrochen"));
  EXPECT_EQ(lastEntry(form).colours, std::set<QRgb>{clBlack.rgb()});
  EXPECT_EQ(form.SaveDialog1.FileName(), QStringLiteral("neue datei.lk2"));

  form.Speichern1Click();
  EXPECT_EQ(lastProposed_, QStringLiteral("neue datei.lk2"));
  EXPECT_EQ(lastEntry(form).text, QStringLiteral("\"Datei Speichern\" abgebrochen"));
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("neue datei.lk2"))));
  EXPECT_EQ(beeps_, 0);
}

TEST_F(FileCommandsTest, ANameWithoutExtensionGetsLk2) {
  TForm1 form;
  answerDialogsWith(QStringLiteral("konfig"));
  form.Speichern1Click();
  EXPECT_TRUE(QFileInfo::exists(dir_.filePath(QStringLiteral("konfig.lk2"))));
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("konfig"))));
  EXPECT_EQ(form.OpenDialog1.FileName(), dir_.filePath(QStringLiteral("konfig.lk2")));
}

// The name the dialog confirmed is the file used: an existing file opens as
// typed, and a name with a dot of its own gets no second extension, so the
// dialog's question before replacing a file was about the file replaced.
TEST_F(FileCommandsTest, TheConfirmedNameIsTheFileUsed) {
  writeFile("konfig", templateLines(sampleImage(), 3).text());
  writeFile("konfig.lk2", templateLines(sampleImage(), 4).text());
  TForm1 form;
  answerDialogsWith(QStringLiteral("konfig"));
  form.Laden1Click();
  EXPECT_EQ(form.OpenDialog1.FileName(), dir_.filePath(QStringLiteral("konfig")));
  EXPECT_EQ(form.comNumber(), 3);

  writeFile("sicher..lk2", "keep");
  answerDialogsWith(QStringLiteral("sicher."));
  form.Speichern1Click();
  EXPECT_EQ(readFile("sicher..lk2"), "keep");
  LineList saved;
  saved.setText(readFile("sicher."));
  EXPECT_EQ(saved.count(), 1040);
  EXPECT_EQ(form.OpenDialog1.FileName(), dir_.filePath(QStringLiteral("sicher.")));
}

// "alle Dateien (*.*)" lists every file, those without a dot too.
TEST_F(FileCommandsTest, AllFilesListsNamesWithoutADot) {
  writeFile("README", "x");
  writeFile("konfig.lk2", "x");
  TForm1 form;
  form.OpenDialog1.setFileName(dir_.filePath(QStringLiteral("neue datei.lk2")));
  QFileDialog dialog;
  form.OpenDialog1.configure(dialog);
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  auto listed = [&] {
    QStringList names;
    const QModelIndex folder = model->index(dir_.path());
    for (int row = 0; row < model->rowCount(folder); ++row) names << model->fileName(model->index(row, 0, folder));
    return names;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return listed().contains(QStringLiteral("konfig.lk2")); }));
  EXPECT_FALSE(listed().contains(QStringLiteral("README")));

  auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(types, nullptr);
  QTest::keyClick(types, Qt::Key_Down);  // as the user picks the second filter
  ASSERT_EQ(types->currentText(), QStringLiteral("alle Dateien (*.*)"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return listed().contains(QStringLiteral("README")); }))
      << listed().join(' ').toStdString();
  EXPECT_TRUE(listed().contains(QStringLiteral("konfig.lk2")));
}

// A refused file is named with the reason, and the status bar and the next
// save keep naming the file whose data the window holds.
TEST_F(FileCommandsTest, EveryBadFileFailsWithItsReasonAndChangesNothing) {
  const LineList good = templateLines(sampleImage(), 4);
  const std::string crLf = good.text();
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary.push_back(static_cast<char>(i * 97));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"good.lk2", crLf},
      {"511.lk2", firstLines(good, 511).text()},
      {"word300.lk2", withLine(good, 300, "dreihundert").text()},
      {"beyond32.lk2", withLine(good, 300, "4294967296").text()},
      {"binary.lk2", binary},
      {"empty.lk2", ""},
  };
  for (const auto& [name, bytes] : files) writeFile(name, bytes);
  QDir(dir_.path()).mkdir(QStringLiteral("folder.lk2"));
  {
    std::ofstream huge("huge.lk2");
  }
  std::filesystem::resize_file("huge.lk2", 3ULL << 30);  // sparse: gigabytes without the disk space

  TForm1 form;
  answerDialogsWith(QStringLiteral("good.lk2"));
  form.Laden1Click();
  const QString loaded = dir_.filePath(QStringLiteral("good.lk2"));
  ASSERT_EQ(form.SB1->panelText(1), loaded);
  form.image().DeviceImage.fill(0x77);
  form.setComNumber(2);
  form.SaveDialog1.setFileName(QStringLiteral("default.lk2"));
  const Table before = form.image().DeviceImage;
  const QString notOurs = QStringLiteral("ist keine LK24-Konfiguration (Zeilen 256 bis 511)");
  const std::vector<std::pair<const char*, QString>> refused = {
      {"511.lk2", notOurs + QStringLiteral(": endet nach Zeile 511")},
      {"word300.lk2", notOurs + QStringLiteral(": Zeile 301 ist kein Wert 0 bis 255")},
      {"beyond32.lk2", notOurs + QStringLiteral(": Zeile 301 ist kein Wert 0 bis 255")},
      {"binary.lk2", notOurs + QStringLiteral(": ")},
      {"empty.lk2", notOurs + QStringLiteral(": die Datei ist leer")},
      {"folder.lk2", QStringLiteral("nicht lesbar (ein Verzeichnis, keine Leserechte oder ein Lesefehler)")},
      {"huge.lk2", QStringLiteral("größer als 1 MiB, keine LK24-Datei")},
      {"missing.lk2", QStringLiteral("nicht gefunden")},
  };
  for (const auto& [name, reason] : refused) {
    SCOPED_TRACE(name);
    form.image().DeviceImage = before;
    const int beepsBefore = beeps_;
    answerDialogsWith(QString::fromLatin1(name));
    form.Laden1Click();
    const QString expected = kLoadError + QStringLiteral(": \"") + dir_.filePath(QString::fromLatin1(name)) +
                             QStringLiteral("\" ") + reason;
    if (reason.endsWith(QLatin1Char(' '))) {
      EXPECT_TRUE(lastEntry(form).text.startsWith(expected)) << lastEntry(form).text.toStdString();
    } else {
      EXPECT_EQ(lastEntry(form).text, expected);
    }
    EXPECT_EQ(lastEntry(form).colours, std::set<QRgb>{clRed.rgb()});
    EXPECT_EQ(beeps_, beepsBefore + 1);
    EXPECT_EQ(form.comNumber(), 2);
    EXPECT_EQ(form.SaveDialog1.FileName(), QStringLiteral("default.lk2"));
    EXPECT_EQ(form.SB1->panelText(1), loaded);
    EXPECT_EQ(form.OpenDialog1.FileName(), loaded);
    // Nothing of the file was taken; only the refresh's own corrections apply.
    EXPECT_EQ(form.image().DeviceImage[0], 0x77);
    EXPECT_EQ(form.image().DeviceImage[254], 0x77);
    EXPECT_EQ(form.image().DeviceImage[100], 0x77);
  }
}

TEST_F(FileCommandsTest, OddButReadableFilesLoad) {
  // A lone CR ends a line too, the checksum lines are not compared, and only
  // lines 256..511 and the port entry are read.
  ConfigImage other = sampleImage();
  other.FactoryImage.fill(1);
  other.AndMask.fill(0xFF);
  LineList lines = BuildFile(other, 4, "x", "y");
  lines = withLine(lines, 1024, "999");
  std::string crOnly;
  for (int i = 0; i < lines.count(); ++i) crOnly += lines.line(i) + "\r";
  writeFile("cr.lk2", crOnly);

  TForm1 form;
  answerDialogsWith(QStringLiteral("cr.lk2"));
  form.Laden1Click();
  EXPECT_EQ(lastEntry(form).text, QStringLiteral(" Datei geladen "));
  EXPECT_EQ(form.comNumber(), 4);
  EXPECT_EQ(form.image().DeviceImage[100], other.DeviceImage[100]);
  EXPECT_EQ(beeps_, 0);
}

TEST_F(FileCommandsTest, FailedSaveKeepsTheOldFileAndTheOpenDialogsName) {
  writeFile("keep.lk2", "old contents\r\n");
  TForm1 form;
  const QString openName = form.OpenDialog1.FileName();

  answerDialogsWith(QStringLiteral("no/such/folder/x.lk2"));
  form.Speichern1Click();
  EXPECT_EQ(lastEntry(form).text, kSaveError + QStringLiteral(": \"") + dir_.filePath(QStringLiteral("no/such/folder/x.lk2")) +
                                      QStringLiteral("\" Ordner nicht vorhanden"));
  EXPECT_EQ(lastEntry(form).colours, std::set<QRgb>{clRed.rgb()});
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(form.OpenDialog1.FileName(), openName);

#ifndef _WIN32
  // A disk that fills up during the write: the file-size limit makes every
  // write beyond it fail, as a full disk does.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = old;
  tight.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  answerDialogsWith(QStringLiteral("keep.lk2"));
  form.Speichern1Click();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(lastEntry(form).text,
            kSaveError + QStringLiteral(": \"") + dir_.filePath(QStringLiteral("keep.lk2")) + QStringLiteral("\" Datenträger voll"));
  EXPECT_EQ(beeps_, 2);
  EXPECT_EQ(readFile("keep.lk2"), "old contents\r\n");
  EXPECT_EQ(form.OpenDialog1.FileName(), openName);
#endif
}

}  // namespace
}  // namespace lk24::test
