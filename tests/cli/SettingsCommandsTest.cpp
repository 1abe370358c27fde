// show, diff and report as a user runs them, on files and on a simulated
// receiver; verify names the settings that differ.

#include "CtlProcess.h"
#include "editor/SettingsInWords.h"
#include "model/TemplateFormat.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace lk24::test {
namespace {

using devsim::DeviceType;
using devsim::test::startedDevice;

void writeFile(const CtlFolder& folder, const std::string& name, const Table& deviceImage) {
  ConfigImage image;
  image.AndMask.fill(0xFF);
  image.DeviceImage = deviceImage;
  ASSERT_EQ(BuildFile(image, 1, kUnknownText, kUnknownText).saveToFile(folder.file(name)), FileWriteStatus::Ok);
}

// The receiver's own image with "Alarm nach:" (24-25) at 600 instead of 120.
Table changedAlarmTime() {
  Table image = devsim::defaultImage(DeviceType::Receiver);
  image[24] = 0x02;
  image[25] = 0x58;
  return image;
}

TEST(CtlSettings, DiffNamesTheDifferingSettingWithBothValues) {
  CtlFolder folder;
  writeFile(folder, "a.lk2", devsim::defaultImage(DeviceType::Receiver));
  writeFile(folder, "b.lk2", changedAlarmTime());

  const CtlResult differing = runCtl(folder, {"diff", "a.lk2", "b.lk2"});
  EXPECT_EQ(differing.exitCode, 5) << differing.err.toStdString();
  EXPECT_TRUE(differing.out.contains(QStringLiteral("Alarm nach:  120 | 600"))) << differing.out.toStdString();
  EXPECT_EQ(differing.out.count(QStringLiteral(" | ")), 1) << differing.out.toStdString();

  const CtlResult same = runCtl(folder, {"diff", "a.lk2", "a.lk2"});
  EXPECT_EQ(same.exitCode, 0);
  EXPECT_FALSE(same.out.contains(QStringLiteral(" | ")));

  const QJsonObject json = runCtl(folder, {"diff", "--json", "a.lk2", "b.lk2"}).json();
  EXPECT_EQ(json["schema"].toInt(), 1);
  EXPECT_FALSE(json["tool"].toString().isEmpty());
  const QJsonArray differences = json["differences"].toArray();
  ASSERT_EQ(differences.size(), 1);
  EXPECT_EQ(differences[0]["caption"].toString(), "Alarm nach:");
  EXPECT_EQ(differences[0]["page"].toString(), "EMPFÄNGER / Grundeinstellung");
  EXPECT_EQ(differences[0]["addresses"].toString(), "24-25");
  EXPECT_EQ(differences[0]["a"].toString(), "120");
  EXPECT_EQ(differences[0]["b"].toString(), "600");
}

TEST(CtlSettings, AFileAgainstTheDeviceAndTheDeviceShown) {
  CtlFolder folder;
  auto receiver = startedDevice();
  writeFile(folder, "changed.lk2", changedAlarmTime());

  const CtlResult diff = runCtl(folder, {"diff", "changed.lk2", "--port", slave(*receiver)});
  EXPECT_EQ(diff.exitCode, 5) << diff.err.toStdString();
  EXPECT_TRUE(diff.out.contains(QStringLiteral("Alarm nach:  600 | 120"))) << diff.out.toStdString();

  const CtlResult verify = runCtl(folder, {"verify", "--port", slave(*receiver), "changed.lk2"});
  EXPECT_EQ(verify.exitCode, 5);
  EXPECT_TRUE(verify.err.contains(QStringLiteral("abweichend: Alarm nach:"))) << verify.err.toStdString();

  const CtlResult shown = runCtl(folder, {"show", "--port", slave(*receiver), "--json"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
  const QJsonObject json = shown.json();
  EXPECT_EQ(json["device"]["serialNumber"].toInt(), 4711);
  EXPECT_EQ(json["device"]["firmware"].toString(), "1.05");
  const QJsonArray settings = json["settings"].toArray();
  const auto expected = describeSettings(receiver->eeprom(), SettingsHalves::Receiver);
  EXPECT_EQ(settings.size(), static_cast<qsizetype>(expected.size()));
  EXPECT_EQ(settings[2]["caption"].toString(), "Alarm nach:");
  EXPECT_EQ(settings[2]["value"].toString(), "120");

  const CtlResult text = runCtl(folder, {"show", "changed.lk2"});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_TRUE(text.out.startsWith(QStringLiteral("Gerät:         Empfänger\nSeriennummer:  04711\n")));
  EXPECT_TRUE(text.out.contains(QRegularExpression(QStringLiteral("\n  Alarm nach: +600 sec +24-25\n"))));
}

TEST(CtlSettings, ADeviceWithAWrongChecksumIsShownButNotPassedAsRight) {
  CtlFolder folder;
  devsim::Options options;
  options.badChecksum = true;
  auto receiver = startedDevice(options);
  const CtlResult shown = runCtl(folder, {"show", "--port", slave(*receiver)});
  EXPECT_EQ(shown.exitCode, 7);
  EXPECT_TRUE(shown.out.contains(QStringLiteral("Alarm nach:"))) << shown.out.toStdString();
}

TEST(CtlSettings, EachCommandTakesItsNumberOfImages) {
  CtlFolder folder;
  writeFile(folder, "a.lk2", devsim::defaultImage(DeviceType::Receiver));
  EXPECT_EQ(runCtl(folder, {"show"}).exitCode, 1);
  EXPECT_EQ(runCtl(folder, {"show", "a.lk2", "--port", "COM1"}).exitCode, 1);
  EXPECT_EQ(runCtl(folder, {"diff", "a.lk2"}).exitCode, 1);
  EXPECT_EQ(runCtl(folder, {"report", "a.lk2"}).exitCode, 1);  // --output missing
  EXPECT_EQ(runCtl(folder, {"show", "missing.lk2"}).exitCode, 2);
}

// The PDF's text; with layout, each table row on one line.
QString pdfText(const QString& pdf, bool layout) {
  QProcess pdftotext;
  QStringList args{pdf, QStringLiteral("-")};
  if (layout) args.prepend(QStringLiteral("-layout"));
  pdftotext.start(QStringLiteral("pdftotext"), args);
  EXPECT_TRUE(pdftotext.waitForFinished(30000)) << "pdftotext (poppler-utils) is missing";
  return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

TEST(CtlSettings, TheReportHoldsTheSerialNumberEveryCaptionAndTheFilesValues) {
  CtlFolder folder;
  const Table image = changedAlarmTime();
  writeFile(folder, "receiver.lk2", image);
  const CtlResult made = runCtl(folder, {"report", "--output", "receiver.pdf", "receiver.lk2"});
  ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

  // The file's value beside its caption, not the device type's default (120).
  const QString rows = pdfText(folder.path("receiver.pdf"), true);
  EXPECT_TRUE(rows.contains(QRegularExpression(QStringLiteral("Alarm nach:\\s+600 sec\\n")))) << rows.toStdString();
  EXPECT_TRUE(rows.contains(QRegularExpression(QStringLiteral("LowPause: min\\s")))) << rows.toStdString();
  // Lines a cell wraps count as one.
  const QString text = pdfText(folder.path("receiver.pdf"), false).simplified();
  EXPECT_TRUE(text.contains(QStringLiteral("Seriennummer"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("04711"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("receiver.lk2")));
  EXPECT_TRUE(text.contains(QStringLiteral("Seite 1 von ")));
  for (const SettingText& s : describeSettings(image, SettingsHalves::Receiver)) {
    EXPECT_TRUE(text.contains(QString::fromStdString(s.caption).simplified())) << s.caption;
  }

  // An unwritable place leaves no file behind and says why.
  const CtlResult refused = runCtl(folder, {"report", "-o", "no/such/folder/r.pdf", "receiver.lk2"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(refused.err.contains(QStringLiteral("no/such/folder/r.pdf"))) << refused.err.toStdString();
}

}  // namespace
}  // namespace lk24::test

namespace lk24::test {
namespace {

// --json gives one document on every path, a failure and a usage error
// too; --template without a device is refused instead of ignored.
TEST(CtlSettingsJson, EveryPathPrintsOneDocument) {
  CtlFolder folder;
  const QList<std::pair<QStringList, int>> runs{
      {{"show", "--json", "missing.lk2"}, 2},
      {{"diff", "--json", "missing.lk2", "LK24.ini"}, 2},
      {{"report", "--json", "-o", "r.pdf", "missing.lk2"}, 2},
      {{"report", "--json", "-o", "LK24.ini", "--force", "LK24.ini"}, 2},
      {{"help", "program", "extra", "--json"}, 1},
      {{"show", "--json", "--template", "LK24.ini", "LK24.ini"}, 1},
  };
  for (const auto& [args, status] : runs) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const CtlResult result = runCtl(folder, args);
    EXPECT_EQ(result.exitCode, status);
    EXPECT_EQ(result.json().value("exitStatus").toInt(-1), status) << result.out.toStdString();
    EXPECT_EQ(result.out.count(QLatin1Char('\n')), 1) << result.out.toStdString();
  }
}

}  // namespace
}  // namespace lk24::test
