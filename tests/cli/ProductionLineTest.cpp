// The production line: the port checked before the loop, a failed device
// marked unmistakably and waited out, the device type and count limits,
// and what the loop reports per device and at its end.

#include "CtlProcess.h"
#include "model/ConfigImage.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

namespace lk24::test {
namespace {

using devsim::DeviceType;
using devsim::Options;
using devsim::test::startedDevice;

class CtlProductionLine : public ::testing::Test {
 protected:
  void SetUp() override {
    auto source = startedDevice();
    ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*source), "-o", "batch.lk2"}).exitCode, 0);
  }
  Options onLink() const {
    Options options;
    options.linkPath = folder.file("tty");
    return options;
  }
  QString record() const {
    QFile file(folder.path("rec.csv"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  CtlFolder folder;
};

TEST_F(CtlProductionLine, APortThatCannotBeUsedEndsTheLoopAtOnceWithThree) {
  auto device = startedDevice();
  QProcess holder;  // another program with the port open
  holder.setStandardInputFile(slave(*device));
  holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(holder.waitForStarted());
  struct Case {
    QString port;
    const char* cause;
  };
  const Case cases[] = {{folder.path("no-such-tty"), "fehlt"},
                        {QStringLiteral("/dev/null"), "keine serielle Schnittstelle"},
                        {slave(*device), "belegt von sleep"}};
  for (const Case& c : cases) {
    const auto started = std::chrono::steady_clock::now();
    const CtlResult result = runCtl(folder, {"program", "--each", "-p", c.port, "batch.lk2"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(result.exitCode, 3) << c.port.toStdString();
    EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.cause))) << result.err.toStdString();
  }
  holder.kill();
  holder.waitForFinished();
  EXPECT_EQ(device->stats().bytesIn, 0);
}

// Unplugged is waited out; a port another program takes during the loop is not.
TEST_F(CtlProductionLine, APortTakenDuringTheLoopEndsItWithThree) {
  auto device = startedDevice(onLink());
  QProcess loop;
  startCtl(loop, folder, {"program", "--each", "-p", folder.path("tty"), "batch.lk2"});
  QString out;
  ASSERT_TRUE(waitFor([&] {
    loop.waitForReadyRead(50);
    out += QString::fromUtf8(loop.readAllStandardOutput());
    return out.contains(QStringLiteral("OK Empfänger 04711"));
  }));
  QProcess holder;
  holder.setStandardInputFile(slave(*device));
  holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(holder.waitForStarted());
  const bool ended = loop.waitForFinished(20000);
  holder.kill();
  holder.waitForFinished();
  ASSERT_TRUE(ended);
  EXPECT_EQ(loop.exitCode(), 3);
  EXPECT_TRUE(QString::fromUtf8(loop.readAllStandardError()).contains(QStringLiteral("belegt von sleep")));
}

// A device cut off mid-write gets its restore command; a refused one that
// stays plugged in is not programmed again; Ctrl+C then ends with its status.
TEST_F(CtlProductionLine, AFailedDeviceSaysNichtAusliefernAndIsWaitedOut) {
  Options slow = onLink();
  slow.latencyMs = 2;
  auto cut = startedDevice(slow);
  QProcess loop;
  startCtl(loop, folder, {"program", "--each", "--record", "rec.csv", "-p", folder.path("tty"), "batch.lk2"});
  ASSERT_TRUE(waitFor([&] { return cut->stats().commands >= 256 + 21 + 20; }));
  cut->stop();  // pulled out in the write pass
  QString out;
  QString err;
  auto until = [&](const QString& text) {
    return waitFor([&] {
      loop.waitForReadyRead(50);
      out += QString::fromUtf8(loop.readAllStandardOutput());
      err += QString::fromUtf8(loop.readAllStandardError());
      return out.contains(text);
    });
  };
  ASSERT_TRUE(until(QStringLiteral("NICHT AUSLIEFERN")));
  EXPECT_TRUE(out.startsWith(QStringLiteral("FEHLER Empfänger 04711: "))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("lk24ctl restore --port '%1' '%2")
                               .arg(folder.path("tty"), folder.path("Sicherungen/Empfaenger-04711-"))))
      << out.toStdString();

  // The same serial number again is a new device only once the loop saw the old one gone.
  ASSERT_TRUE(waitFor([&] {
    loop.waitForReadyRead(50);
    err += QString::fromUtf8(loop.readAllStandardError());
    return err.count(QStringLiteral("Warte auf das nächste Gerät")) == 2;
  })) << err.toStdString();
  Options guarded = onLink();
  guarded.writeProtected = true;
  auto refuses = startedDevice(guarded);
  ASSERT_TRUE(until(QStringLiteral("Konfiguration überschreiben nicht erlaubt!"))) << err.toStdString();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // three probes
  ::kill(static_cast<pid_t>(loop.processId()), SIGINT);
  ASSERT_TRUE(loop.waitForFinished(20000));
  out += QString::fromUtf8(loop.readAllStandardOutput());
  EXPECT_EQ(loop.exitCode(), 6);
  const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << out.toStdString();  // a second attempt would be a line more
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("FEHLER Empfänger 04711: Konfiguration"))) << lines[1].toStdString();
  EXPECT_FALSE(lines[1].contains(QStringLiteral("restore")));  // nothing was written
  EXPECT_EQ(lines[2], QStringLiteral("Zusammenfassung: 0 erfolgreich, 2 fehlerhaft (Empfänger 04711, Empfänger 04711)"));
  const QStringList rows = record().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[1].split(QLatin1Char(','))[9], "transfer-error");
  EXPECT_EQ(rows[1].split(QLatin1Char(','))[10], "4");
  EXPECT_EQ(rows[2].split(QLatin1Char(','))[9], "refused");
}

TEST_F(CtlProductionLine, TheWrongTypeIsRefusedAndStopOnFailureEndsTheLoop) {
  auto receiver = startedDevice(onLink());
  const Table before = receiver->eeprom();
  const CtlResult result = runCtl(folder, {"program", "--each", "--expect-type", "sender", "--stop-on-failure", "-p",
                                           folder.path("tty"), "batch.lk2"});
  EXPECT_EQ(result.exitCode, 6);
  EXPECT_TRUE(result.out.startsWith(QStringLiteral("FEHLER Empfänger 04711: Gerätetyp falsch"))) << result.out.toStdString();
  EXPECT_EQ(receiver->eeprom(), before);
  EXPECT_LT(receiver->stats().commands, 256);  // probes only, no pre-read
  EXPECT_EQ(runCtl(folder, {"program", "--expect-type", "sender", "-p", folder.path("tty"), "batch.lk2"}).exitCode, 6);
}

// --count ends the loop by itself; with --json every device is a line whose
// facts come from the read-back, and the last line sums up.
TEST_F(CtlProductionLine, CountEndsTheLoopAndJsonGivesALinePerDeviceAndASummary) {
  Options broken = onLink();
  broken.badChecksum = true;  // right again once programmed
  auto device = startedDevice(broken);
  const CtlResult result = runCtl(folder, {"program", "--each", "--count", "1", "--json", "-p", folder.path("tty"), "batch.lk2"});
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << result.out.toStdString();
  const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
  EXPECT_EQ(first["schema"].toInt(), 1);
  EXPECT_EQ(first["result"].toString(), "success");
  EXPECT_TRUE(first["device"]["checksumRight"].toBool());
  const QJsonObject summary = QJsonDocument::fromJson(lines[1].toUtf8()).object();
  EXPECT_TRUE(summary["summary"].toBool());
  EXPECT_EQ(summary["passed"].toInt(), 1);
  EXPECT_EQ(summary["failed"].toInt(), 0);
  // Without --record the loop keeps its record beside the template.
  EXPECT_TRUE(result.err.contains(folder.path("Protokoll.csv"))) << result.err.toStdString();
  EXPECT_TRUE(QFile::exists(folder.path("Protokoll.csv")));
}

TEST_F(CtlProductionLine, ARecordThatCannotBeWrittenIsTwoBeforeAnythingIsSent) {
  auto device = startedDevice();
  const CtlResult result = runCtl(folder, {"program", "--record", "no-folder/rec.csv", "-p", slave(*device), "batch.lk2"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_TRUE(result.err.contains(QStringLiteral("no-folder/rec.csv"))) << result.err.toStdString();
  EXPECT_EQ(device->stats().bytesIn, 0);

  // verify, read, program and restore each add a row under one header.
  for (const QStringList& args : {QStringList{"verify", "batch.lk2"}, QStringList{"read", "-o", "again.lk2"}}) {
    const CtlResult result = runCtl(folder, args + QStringList{"--record", "rec.csv", "-p", slave(*device)});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  }
  const CtlResult programmed = runCtl(folder, {"program", "--json", "--record", "rec.csv", "-p", slave(*device), "batch.lk2"});
  ASSERT_EQ(programmed.exitCode, 0) << programmed.err.toStdString();
  const QString backup = programmed.json()["backupFile"].toString();
  ASSERT_EQ(runCtl(folder, {"restore", "--record", "rec.csv", "-p", slave(*device), backup}).exitCode, 0);
  const QStringList rows = record().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 5);
  const char* commands[] = {"verify", "read", "program", "restore"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rows[i + 1].split(QLatin1Char(','))[3], commands[i]);
  EXPECT_EQ(rows[2].split(QLatin1Char(','))[7], "again.lk2");
  EXPECT_EQ(rows[3].split(QLatin1Char(','))[11], backup);
  EXPECT_EQ(rows[4].split(QLatin1Char(','))[7], QFileInfo(backup).fileName());
}

}  // namespace
}  // namespace lk24::test

namespace lk24::test {
namespace {

// A device never unplugged, with one fault on its line: one programming, one row.
void expectOneProgramming(CtlFolder& folder, const Options& fault) {
  auto device = startedDevice(fault);
  QProcess loop;
  startCtl(loop, folder, {"program", "--each", "--record", "rec.csv", "-p", slave(*device), "batch.lk2"});
  QString out;
  ASSERT_TRUE(waitFor([&] {
    loop.waitForReadyRead(50);
    out += QString::fromUtf8(loop.readAllStandardOutput());
    return out.contains(QStringLiteral("OK "));
  }));
  const long afterRun = device->stats().commands;
  if (fault.dropAnswer) {
    ASSERT_LE(afterRun, *fault.dropAnswer) << "the lost answer is to come after the run";
  }
  // Probes enough after the run that a second programming would have begun.
  ASSERT_TRUE(waitFor([&] { return device->stats().commands >= afterRun + 5 * 3; }));
  ::kill(static_cast<pid_t>(loop.processId()), SIGINT);
  ASSERT_TRUE(loop.waitForFinished(30000));
  out += QString::fromUtf8(loop.readAllStandardOutput());
  EXPECT_EQ(out.count(QStringLiteral("OK ")), 1) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("Zusammenfassung: 1 erfolgreich, 0 fehlerhaft"))) << out.toStdString();
  QFile file(folder.path("rec.csv"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(file.readAll()).count(QStringLiteral("\r\n")), 2);  // the header and one row
}

// One disturbed probe answer (the serial number's low byte of the first
// probe): no second device.
TEST_F(CtlProductionLine, ADisturbedProbeAnswerIsNoSecondDevice) {
  Options noisy;
  noisy.noisyAnswer = 2;
  expectOneProgramming(folder, noisy);
}

// One probe answer lost after the run: a device is gone only after two
// silent probes in a row.
TEST_F(CtlProductionLine, OneLostProbeAnswerIsNoUnpluggedDevice) {
  Options lossy;
  // Two probes alike (type and serial number, three answers each), the
  // program run, then the first probe after it.
  lossy.dropAnswer = 2 * 3 + 256 + 21 + 248 + 256;
  expectOneProgramming(folder, lossy);
}

}  // namespace
}  // namespace lk24::test
