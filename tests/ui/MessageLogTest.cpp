// The message log: entry styles with per-character colours, time lines,
// plain lines, clearing, and the view following the newest entry.

#include "ShellTestSupport.h"

#include "ui/MessageLog.h"
#include "ui/ULK24.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QLocale>
#include <QTest>
#include <QTime>
#include <QTextCursor>

namespace lk24::test {
namespace {

// The whole time line: the time of day and nothing after it (no zone).
const QRegularExpression kTimeLine(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}( [AP]M)?$"));
const std::set<QRgb> kRed{clRed.rgb()};
const std::set<QRgb> kBlack{clBlack.rgb()};

TEST(MessageLogTest, EntryStylesGiveTimeLinesEmptyLinesAndColours) {
  struct Case {
    const char* what;
    QColor colour;
    std::uint8_t style;
    bool timeLine;
    bool emptyLine;
  };
  const std::vector<Case> cases{
      {"error entry", clRed, entry::kError, true, true},
      {"success entry", clBlack, entry::kSuccess, true, false},
      {"info entry", clBlack, entry::kInfo, true, true},
      {"note entry", clRed, entry::kNote, false, true},
      {"bare text", clRed, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTextEdit log;
    const QTime before = QTime::currentTime();
    AppendLogEntry(&log, QStringLiteral("Daten erfolgreich übertragen"), c.colour, c.style);
    const QTime after = QTime::currentTime();
    const auto lines = logLines(&log);
    std::size_t at = 0;
    if (c.timeLine) {
      ASSERT_GT(lines.size(), at);
      EXPECT_TRUE(kTimeLine.match(lines[at].text).hasMatch()) << lines[at].text.toStdString();
      EXPECT_TRUE(lines[at].text == LogTimeText(before, QLocale()) || lines[at].text == LogTimeText(after, QLocale()))
          << lines[at].text.toStdString();
      EXPECT_EQ(lines[at].colours, std::set<QRgb>{c.colour.rgb()});
      ++at;
    }
    ASSERT_GT(lines.size(), at);
    EXPECT_EQ(lines[at].text, QStringLiteral("Daten erfolgreich übertragen"));
    EXPECT_EQ(lines[at].colours, std::set<QRgb>{c.colour.rgb()});
    ++at;
    if (c.emptyLine) {
      ASSERT_GT(lines.size(), at);
      EXPECT_EQ(lines[at].text, QString());
      ++at;
    }
    // The text always ends with a line end, so the next entry starts on a
    // line of its own.
    ASSERT_EQ(lines.size(), at + 1);
    EXPECT_EQ(lines[at].text, QString());
  }
}

TEST(MessageLogTest, TimeLineIsTheTimeOfDayInTheLocalesOrderWithoutZone) {
  const QTime time(18, 13, 42);
  EXPECT_EQ(LogTimeText(time, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("18:13:42"));
  EXPECT_EQ(LogTimeText(time, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("6:13:42 PM"));
  EXPECT_EQ(LogTimeText(QTime(7, 5, 9), QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("07:05:09"));
  EXPECT_EQ(LogTimeText(time, QLocale::c()), QStringLiteral("18:13:42"));
}

TEST(MessageLogTest, ColoursStayWithTheirCharactersAcrossEntries) {
  QTextEdit log;
  AppendLogEntry(&log, QStringLiteral("Fehler"), clRed, entry::kError);
  AppendPlainLine(&log, QStringLiteral("Sender erkannt"));
  AppendLogEntry(&log, QStringLiteral(""), clBlack, 0);
  AppendLogEntry(&log, QStringLiteral("Datei geladen"), clBlack, entry::kSuccess);
  AppendLogEntry(&log, QStringLiteral("    ! Verbindung prüfen !"), clRed, entry::kNote);

  const auto lines = logLines(&log);
  const QStringList texts = logTexts(&log);
  ASSERT_EQ(texts.size(), 10) << texts.join('|').toStdString();
  EXPECT_EQ(texts[1], QStringLiteral("Fehler"));
  EXPECT_EQ(lines[1].colours, kRed);
  EXPECT_EQ(texts[2], QString());
  // A plain line carries no colour of its own: not the red before it.
  EXPECT_EQ(texts[3], QStringLiteral("Sender erkannt"));
  EXPECT_EQ(lines[3].colours, kBlack);
  // An empty text still ends its line.
  EXPECT_EQ(texts[4], QString());
  EXPECT_EQ(lines[5].colours, kBlack);
  EXPECT_EQ(texts[6], QStringLiteral("Datei geladen"));
  EXPECT_EQ(lines[6].colours, kBlack);
  EXPECT_EQ(texts[7], QStringLiteral("    ! Verbindung prüfen !"));
  EXPECT_EQ(lines[7].colours, kRed);
  EXPECT_EQ(texts[8], QString());
  EXPECT_EQ(texts[9], QString());
}

TEST(MessageLogTest, EntriesGoToTheEndWhateverTheUserSelected) {
  QTextEdit log;
  AppendLogEntry(&log, QStringLiteral("erste"), clBlack, 0);
  AppendLogEntry(&log, QStringLiteral("zweite"), clBlack, 0);
  QTextCursor selection(log.document());
  selection.setPosition(1);
  selection.setPosition(3, QTextCursor::KeepAnchor);
  log.setTextCursor(selection);

  AppendLogEntry(&log, QStringLiteral("dritte"), clRed, 0);
  EXPECT_EQ(logTexts(&log), (QStringList{"erste", "zweite", "dritte", ""}));
  EXPECT_FALSE(log.textCursor().hasSelection());
  EXPECT_TRUE(log.textCursor().atEnd());
}

using WindowLogTest = ShellTest;

TEST_F(WindowLogTest, ClearInfoEmptiesTheLogAndTheNextEntryStartsAtTheTop) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  form.showinfo(nullptr, QStringLiteral("eins"), clBlack, entry::kInfo);
  form.appendLogLine(QStringLiteral("zwei"));
  ASSERT_GT(logTexts(form.MInfo).size(), 3);

  QTest::mouseClick(form.ButClear, Qt::LeftButton);
  EXPECT_EQ(form.MInfo->toPlainText(), QString());

  form.showinfo(nullptr, QStringLiteral("drei"), clRed, entry::kNote);
  EXPECT_EQ(logTexts(form.MInfo), (QStringList{"drei", "", ""}));
}

TEST_F(WindowLogTest, ALongLogScrollsToTheNewestEntry) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  form.show();
  QScrollBar* bar = form.MInfo->verticalScrollBar();
  for (int i = 0; i < 40; ++i) {
    const QString text = QStringLiteral("Eintrag %1").arg(i);
    form.showinfo(nullptr, text, i % 2 ? clRed : clBlack, entry::kError);
    // The newest text line and the caret below it are inside the view.
    const QTextBlock newest = form.MInfo->document()->lastBlock().previous().previous();
    ASSERT_EQ(newest.text(), text);
    QTextCursor atNewest(newest);
    const QRect viewport = form.MInfo->viewport()->rect();
    ASSERT_TRUE(viewport.contains(form.MInfo->cursorRect(atNewest))) << "entry " << i;
    ASSERT_TRUE(viewport.contains(form.MInfo->cursorRect())) << "entry " << i;
  }
  EXPECT_GT(bar->value(), 0);
  form.close();
}

}  // namespace
}  // namespace lk24::test
