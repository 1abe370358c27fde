// Start-up and exit of the main window against real template files in a
// temporary current directory.

#include "ShellTestSupport.h"

#include "ui/ConfirmBox.h"
#include "ui/MessageLog.h"
#include "ui/SessionEndWatch.h"
#include "ui/StatusPanels.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lk24::test {
namespace {

const QString kNotFound = QStringLiteral(" Datei \"LK24.ini\" nicht gefunden. Alle Funktionen deaktiviert!");
const QString kWrongFile = QStringLiteral(" falsche Datei \"LK24.ini\" !!! Alle Funktionen deaktiviert");
const QRegularExpression kTimeLine(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}"));

using StartupTest = ShellTest;

// The reduced state as the user meets it: one beep, one red error entry,
// every transfer and file command shut, only Exit and the help menu left.
void expectReducedState(const TForm1& form, const QString& message, int beeps) {
  EXPECT_TRUE(form.TemplateInvalid);
  EXPECT_EQ(beeps, 1);
  const auto lines = logLines(form.MInfo);
  ASSERT_EQ(lines.size(), 4u) << logTexts(form.MInfo).join('|').toStdString();
  EXPECT_TRUE(kTimeLine.match(lines[0].text).hasMatch()) << lines[0].text.toStdString();
  EXPECT_EQ(lines[1].text, message);
  EXPECT_EQ(lines[0].colours, std::set<QRgb>{clRed.rgb()});
  EXPECT_EQ(lines[1].colours, std::set<QRgb>{clRed.rgb()});
  EXPECT_EQ(lines[2].text, QString());
  EXPECT_EQ(lines[3].text, QString());

  for (const QWidget* widget : {static_cast<const QWidget*>(form.PSender), static_cast<const QWidget*>(form.Pempfang),
                                static_cast<const QWidget*>(form.LeseButton),
                                static_cast<const QWidget*>(form.ProgButton),
                                static_cast<const QWidget*>(form.ButClear)}) {
    EXPECT_FALSE(widget->isEnabled()) << widget->objectName().toStdString();
  }
  EXPECT_FALSE(form.MKommunikation->menuAction()->isEnabled());
  for (const QAction* action : {form.Datensenden1, form.Datenempfangen1, form.COM11, form.COM21, form.COM31,
                                form.COM41, form.Speichern1, form.Laden1}) {
    EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
  }
  for (const QAction* action : {form.Exit1, form.Mhilfe, form.M_info}) {
    EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
  }
  EXPECT_TRUE(form.Datei1->menuAction()->isEnabled());
  EXPECT_TRUE(form.MHilfeTop->menuAction()->isEnabled());
  EXPECT_EQ(form.comNumber(), 1);
}

void expectNormalState(const TForm1& form, int beeps) {
  EXPECT_FALSE(form.TemplateInvalid);
  EXPECT_EQ(beeps, 0);
  EXPECT_EQ(form.MInfo->toPlainText(), QString());
  EXPECT_TRUE(form.LeseButton->isEnabled());
  EXPECT_TRUE(form.PSender->isEnabled());
  EXPECT_TRUE(form.MKommunikation->menuAction()->isEnabled());
  EXPECT_TRUE(form.Laden1->isEnabled());
}

TEST_F(StartupTest, NoTemplateGivesReducedStateAndWritesNothing) {
  {
    TForm1 form;
    expectReducedState(form, kNotFound, beeps_);
    for (const std::uint8_t byte : form.image().DeviceImage) ASSERT_EQ(byte, 0x01);
    for (const std::uint8_t byte : form.image().AndMask) ASSERT_EQ(byte, 0x00);
    EXPECT_TRUE(form.datamemo->toPlainText().isEmpty());

    form.inittimerTimer();
    // The first refresh shows the preset image and stamps the tool's version.
    EXPECT_EQ(form.image().DeviceImage[2], 0x00);
    EXPECT_EQ(form.image().DeviceImage[200], 0x01);
    EXPECT_EQ(form.SB1->panelText(0), QStringLiteral("COM1"));
    EXPECT_EQ(form.SB1->panelText(1), QStringLiteral("neue datei.lk2"));
    EXPECT_TRUE(form.COM11->isChecked());
    EXPECT_NE(form.focusWidget(), form.LeseButton);

    form.Exit1->trigger();
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_FALSE(templateExists());
  EXPECT_EQ(QDir::current().entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

TEST_F(StartupTest, ValidTemplateIsLoadedAndTheFirstTickShowsItsPort) {
  ConfigImage written = sampleImage();
  written.FactoryImage[7] = 12;
  LineList lines = templateLines(written, 3);
  writeTemplate(lines);
  ConfigImage merged = written;
  merged.FilterUserData();

  TForm1 form;
  expectNormalState(form, beeps_);
  EXPECT_EQ(form.comNumber(), 3);
  EXPECT_EQ(form.image().FactoryImage, merged.FactoryImage);
  EXPECT_EQ(form.image().DeviceImage, merged.DeviceImage);
  EXPECT_EQ(form.image().AndMask, merged.AndMask);
  EXPECT_EQ(form.image().OrMask, merged.OrMask);
  EXPECT_EQ(form.Laction->text(), QString());
  EXPECT_EQ(form.OpenDialog1.FileName(), QStringLiteral("neue datei.lk2"));

  // The listings: one line per address, in table order, address and value
  // right-aligned in three places each.
  const QStringList factory = form.werkmemo->toPlainText().split('\n');
  ASSERT_EQ(factory.size(), 256);
  EXPECT_EQ(factory[7], QStringLiteral("  7:  12"));
  EXPECT_EQ(form.datamemo->toPlainText().split('\n')[200], QStringLiteral("200:   7"));
  EXPECT_EQ(form.andmemo->toPlainText().split('\n')[0], QStringLiteral("  0: 255"));
  EXPECT_EQ(form.ormemo->toPlainText().split('\n')[255], QStringLiteral("255:   0"));

  // The fields show the design until the timer's one tick, 300 ms later.
  EXPECT_TRUE(form.inittimer->isActive());
  EXPECT_TRUE(form.inittimer->isSingleShot());
  EXPECT_EQ(form.inittimer->interval(), 300);
  EXPECT_NE(form.SB1->panelText(0), QStringLiteral("COM3"));
  form.show();
  QTRY_COMPARE_WITH_TIMEOUT(form.SB1->panelText(0), QStringLiteral("COM3"), 5000);
  EXPECT_FALSE(form.inittimer->isActive());
  EXPECT_TRUE(form.COM31->isChecked());
  EXPECT_FALSE(form.COM11->isChecked());
  EXPECT_EQ(form.focusWidget(), form.LeseButton);
  form.close();
}

TEST_F(StartupTest, ChangedByteIsMergedIntoTheTemplateAndBackAtTheNextStart) {
  ConfigImage image = sampleImage();
  // Address 20: low nibble the user's, high nibble from the factory image.
  image.AndMask[20] = 0x0F;
  image.OrMask[20] = 0xF0;
  image.FactoryImage[20] = 0xA5;
  writeTemplate(templateLines(image, 3));

  ConfigImage edited;
  {
    TForm1 form;
    ASSERT_FALSE(form.TemplateInvalid);
    form.inittimerTimer();
    form.image().DeviceImage.fill(0xFF);
    form.image().DeviceImage[20] = 0x5C;
    edited = form.image();
    form.close();
  }
  const std::string text = readFile(kTemplateFileName);
  LineList reread;
  reread.setText(text);
  ASSERT_EQ(reread.count(), 1040);
  // Every image line is the edited byte after the merge: the user's bits
  // kept, the protected ones from the factory image where the or-mask says so.
  for (int i = 0; i < kImageSize; ++i) {
    const int merged = (edited.DeviceImage[i] & edited.AndMask[i]) |
                       (~edited.AndMask[i] & edited.OrMask[i] & edited.FactoryImage[i] & 0xFF);
    ASSERT_EQ(reread.line(256 + i), std::to_string(merged)) << "address " << i;
  }
  std::size_t crlf = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++crlf;
  EXPECT_EQ(crlf, 1040u);
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(reread.line(256 + 20), "172");  // 0xA0 | 0x0C
  EXPECT_EQ(reread.line(1027), "[+][01]");
  EXPECT_EQ(reread.line(1029), "3");
  // No device has been read: both firmware lines carry the unknown text.
  EXPECT_EQ(reread.line(1031), kUnknownText);
  EXPECT_EQ(reread.line(1033), kUnknownText);
  ConfigImage check;
  EXPECT_EQ(loadTemplateTables(reread, check), TemplateLoad::Valid);

  TForm1 again;
  expectNormalState(again, beeps_);
  EXPECT_EQ(again.image().DeviceImage[20], 0xAC);
  EXPECT_EQ(again.comNumber(), 3);
}

TEST_F(StartupTest, ShippedTemplateStartsValidAndSurvivesARoundTrip) {
  const std::string shipped = readFile(LK24_SOURCE_DIR "/templates/LK24.ini");
  ASSERT_FALSE(shipped.empty());
  writeFile(kTemplateFileName, shipped);
  {
    TForm1 form;
    expectNormalState(form, beeps_);
    form.close();
  }
  TForm1 again;
  expectNormalState(again, beeps_);
}

// The checksum's weights: address 0 weighs nothing, and at address 1 a
// sum of 1 and of 2 both weigh 1, while 0 weighs 0.
TEST_F(StartupTest, ChecksumEdgesOnWholeFiles) {
  ConfigImage image = sampleImage();
  image.FactoryImage[1] = 1;
  image.DeviceImage[1] = 0;
  image.AndMask[1] = 0;
  image.OrMask[1] = 0;
  const LineList valid = templateLines(image, 2);
  ASSERT_EQ(valid.line(1), "1");
  ASSERT_EQ(valid.line(257), "0");
  image.FactoryImage[1] = 0;
  const LineList zeroAt1 = templateLines(image, 2);

  struct Case {
    const char* what;
    LineList lines;
    bool stays;
  };
  LineList address0 = valid;
  for (int first : {0, 256, 512, 768}) address0 = withLine(address0, first, "77");
  const std::vector<Case> cases{
      {"address-0 lines edited", address0, true},
      {"factory byte 1 raised from 1 to 2", withLine(valid, 1, "2"), true},
      {"device byte 1 raised from 0 to 1", withLine(zeroAt1, 257, "1"), false},
      {"mask byte 1 raised from 0 to 1", withLine(zeroAt1, 513, "1"), false},
      {"checksum high line off by one", withLine(valid, 1024, std::to_string(std::stoi(valid.line(1024)) + 1)),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    beeps_ = 0;
    writeTemplate(c.lines);
    TForm1 form;
    if (c.stays) {
      expectNormalState(form, beeps_);
      EXPECT_EQ(form.comNumber(), 2);
    } else {
      expectReducedState(form, kWrongFile, beeps_);
    }
  }
  // A checksum failure keeps the file's tables.
  writeTemplate(withLine(zeroAt1, 257, "1"));
  TForm1 form;
  EXPECT_EQ(form.image().DeviceImage[1], 1);
  EXPECT_EQ(form.image().FactoryImage[1], 0);
  EXPECT_EQ(form.datamemo->toPlainText().split('\n').value(1), QStringLiteral("  1:   1"));
}

TEST_F(StartupTest, PortEntryScan) {
  const LineList valid = templateLines(sampleImage(), 3);
  struct Case {
    const char* what;
    LineList lines;
    int port;
  };
  // Lines 1026..1039 are outside the checksum, so all of these stay valid.
  const LineList secondMarker = withLine(withLine(valid, 1037, "[+][01]"), 1039, "4");
  const std::vector<Case> cases{
      {"one marker", valid, 3},
      {"a later marker wins", secondMarker, 4},
      {"an unparsable entry ends the scan", withLine(secondMarker, 1039, "COM4"), 3},
      {"any value is taken", withLine(valid, 1029, "7"), 7},
      {"low 16 bits", withLine(valid, 1029, "65538"), 2},
      {"lines 1026 to 1039 missing", firstLines(valid, 1026), 1},
      {"marker changed", withLine(valid, 1027, "[+][01] "), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeTemplate(c.lines);
    TForm1 form;
    expectNormalState(form, beeps_);
    EXPECT_EQ(form.comNumber(), c.port);
    form.showdata();
    EXPECT_EQ(form.SB1->panelText(0), QStringLiteral("COM%1").arg(c.port));
    // Only 2, 3 and 4 move the check mark away from COM1.
    EXPECT_EQ(form.COM11->isChecked(), c.port < 2 || c.port > 4);
  }
}

// Templates that cannot be read: the "nicht gefunden" state, and the file
// is not touched at exit.
TEST_F(StartupTest, UnreadableTemplatesAreLeftAsTheyWere) {
  const LineList valid = templateLines(sampleImage(), 3);
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases{
      {"empty", ""},
      {"binary garbage", garbage},
      {"checksum low line missing", firstLines(valid, 1025).text()},
      {"trailing blank in a table line", withLine(valid, 600, "12 ").text()},
      {"value beyond 32 bits", withLine(valid, 300, "4294967296").text()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    beeps_ = 0;
    writeFile(kTemplateFileName, c.bytes);
    {
      TForm1 form;
      expectReducedState(form, kNotFound, beeps_);
      form.close();
    }
    EXPECT_EQ(readFile(kTemplateFileName), c.bytes);
  }
}

TEST_F(StartupTest, HugeTemplateIsRefusedUnreadAndKept) {
  constexpr qint64 kSize = qint64(3) << 30;  // sparse: takes no disk space
  {
    QFile huge(QString::fromLatin1(kTemplateFileName));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(kSize));
  }
  {
    TForm1 form;
    expectReducedState(form, kNotFound, beeps_);
    form.close();
  }
  EXPECT_EQ(QFileInfo(QString::fromLatin1(kTemplateFileName)).size(), kSize);
}

TEST_F(StartupTest, DirectoryInPlaceOfTheTemplate) {
  ASSERT_TRUE(QDir::current().mkdir(QString::fromLatin1(kTemplateFileName)));
  {
    TForm1 form;
    expectReducedState(form, kNotFound, beeps_);
    form.close();
  }
  EXPECT_TRUE(QFileInfo(QString::fromLatin1(kTemplateFileName)).isDir());
}

TEST_F(StartupTest, WrongChecksumTemplateIsByteIdenticalAfterARun) {
  const std::string bytes = withLine(templateLines(sampleImage(), 4), 1025, "99").text();
  writeFile(kTemplateFileName, bytes);
  {
    TForm1 form;
    expectReducedState(form, kWrongFile, beeps_);
    form.inittimerTimer();
    form.image().DeviceImage[30] = 5;
    form.close();
  }
  EXPECT_EQ(readFile(kTemplateFileName), bytes);
}

TEST_F(StartupTest, CarriageReturnOnlyTemplateIsValid) {
  std::string text = templateLines(sampleImage(), 4).text();
  std::string crOnly;
  for (char c : text) {
    if (c != '\n') crOnly.push_back(c);
  }
  writeFile(kTemplateFileName, crOnly);
  TForm1 form;
  expectNormalState(form, beeps_);
  EXPECT_EQ(form.comNumber(), 4);
}

#ifndef _WIN32
// The close against a full disk, a session end and a read-only folder need
// POSIX's file-size limit, signals and modes; on Windows the session end is
// tested through its own messages.

// A disk that takes no file over 100 bytes, for as long as it lives; the
// limit goes again even when an assertion leaves the test early.
struct FullDisk {
  rlimit previous{};
  void (*previousHandler)(int) = SIG_DFL;
  bool active = false;
  FullDisk() {
    if (getrlimit(RLIMIT_FSIZE, &previous) != 0) return;
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = previous;
    tiny.rlim_cur = 100;
    active = setrlimit(RLIMIT_FSIZE, &tiny) == 0;
  }
  ~FullDisk() {
    if (active) setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
  }
};

// A disk that takes no more than a few bytes: the write at exit fails
// without a message and the old template stays whole.
// LK24.ini that cannot be written at exit keeps the old one, and the user is
// asked before the window's configuration is given up: "Nein" keeps the
// window open (a file can still be saved), "Ja" closes without writing.
TEST_F(StartupTest, ATemplateThatCannotBeWrittenAtExitIsAskedAboutAndKeepsTheOldOne) {
  const std::string bytes = templateLines(sampleImage(), 3).text();
  writeFile(kTemplateFileName, bytes);
  TForm1 form;
  ASSERT_FALSE(form.TemplateInvalid);
  form.show();
  form.image().DeviceImage[0] ^= 0xFF;
  form.setComNumber(2);
  QStringList questions;
  bool answer = false;
  SetYesNoHandler([&](const QString& question) {
    questions << question;
    return answer;
  });

  std::optional<FullDisk> full(std::in_place);
  ASSERT_TRUE(full->active);
  form.close();
  const bool openAfterNo = form.isVisible();
  answer = true;
  form.close();
  full.reset();
  SetYesNoHandler({});

  EXPECT_TRUE(openAfterNo);
  EXPECT_FALSE(form.isVisible());
  const QString question = QStringLiteral("LK24.ini konnte nicht geschrieben werden: %1. Trotzdem beenden?")
                               .arg(QString::fromLocal8Bit(std::strerror(EFBIG)));
  EXPECT_EQ(questions, (QStringList{question, question}));
  EXPECT_EQ(form.MInfo->toPlainText(), QString());
  EXPECT_EQ(readFile(kTemplateFileName), bytes);
  EXPECT_EQ(QDir::current().entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{QString::fromLatin1(kTemplateFileName)});
}

// A logout while that question is open: the session's end answers it "Ja",
// so a logout is never held for good by a box nobody may see.
TEST_F(StartupTest, TheEndOfTheSessionAnswersTheOpenQuestionYes) {
  writeFile(kTemplateFileName, templateLines(sampleImage(), 3).text());
  TForm1 form;
  form.show();
  SessionEndWatch watch([&form] { form.sessionEnded(); });
  bool answeredByTheWatchdog = false;
  QTimer::singleShot(200, [] { ::raise(SIGTERM); });
  QTimer watchdog;  // never let the test hang on a box: it answers "Nein"
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      answeredByTheWatchdog = true;
      box->done(QMessageBox::No);
    }
  });
  watchdog.start(3000);

  std::optional<FullDisk> full(std::in_place);
  ASSERT_TRUE(full->active);
  form.close();  // the real box opens, and SIGTERM arrives while it is open
  full.reset();

  EXPECT_FALSE(answeredByTheWatchdog);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(StartupTest, ReadOnlyDirectoryAtExitKeepsTheOldTemplate) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root; the size-limit test covers the failure";
  const std::string bytes = templateLines(sampleImage(), 3).text();
  writeFile(kTemplateFileName, bytes);
  TForm1 form;
  ASSERT_FALSE(form.TemplateInvalid);
  form.setComNumber(2);
  int questions = 0;
  SetYesNoHandler([&](const QString&) { return ++questions > 0; });
  ASSERT_EQ(chmod(".", 0555), 0);
  form.close();
  chmod(".", 0755);
  SetYesNoHandler({});
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(readFile(kTemplateFileName), bytes);
}

#endif  // _WIN32

}  // namespace
}  // namespace lk24::test
