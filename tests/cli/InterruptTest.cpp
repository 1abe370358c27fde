// SIGINT while lk24ctl works: a read stops at once, a program run finishes
// its write pass first, and the production loop programs one device after
// another until it is interrupted between them.

#include "CtlProcess.h"
#include "model/ConfigImage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <signal.h>

#include "model/ConfigImage.h"

#include <chrono>
#include <thread>

namespace lk24::test {
namespace {

using devsim::DeviceType;
using devsim::Options;
using devsim::test::startedDevice;

CtlResult finish(QProcess& process) {
  CtlResult result;
  EXPECT_TRUE(process.waitForFinished(30000));
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = QString::fromUtf8(process.readAllStandardOutput());
  result.err = QString::fromUtf8(process.readAllStandardError());
  return result;
}

Options slowDevice() {
  Options options;
  options.latencyMs = 2;  // a run of about two seconds
  return options;
}

TEST(CtlInterrupt, AReadStopsAtOnceAndAWritePassFinishesFirst) {
  CtlFolder folder;
  auto device = startedDevice(slowDevice());
  QProcess read;
  startCtl(read, folder, {"read", "-p", slave(*device), "-o", "cut.lk2"});
  ASSERT_TRUE(waitFor([&] { return device->stats().commands >= 20; }));
  ::kill(static_cast<pid_t>(read.processId()), SIGINT);
  const CtlResult cut = finish(read);
  EXPECT_EQ(cut.exitCode, 128 + SIGINT);
  EXPECT_LT(device->stats().commands, 256);
  EXPECT_FALSE(QFile::exists(folder.path("cut.lk2")));

  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "device.lk2"}).exitCode, 0);
  // A closed terminal or SSH session and Ctrl+\ as well: the run finishes,
  // says so at once, and a second signal changes nothing.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(signal);
    const long before = device->stats().commands;
    QProcess program;
    // Quiet: the acknowledgement is the first thing on stderr.
    startCtl(program, folder, {"program", "-q", "-p", slave(*device), "device.lk2"});
    ASSERT_TRUE(waitFor([&] { return device->stats().commands >= before + 256 + 21 + 60; }));  // writing
    ::kill(static_cast<pid_t>(program.processId()), signal);
    program.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(program.waitForReadyRead(5000));
    EXPECT_LT(device->stats().commands, before + 256 + 21 + 248 + 256);  // acknowledged before the run ends
    ::kill(static_cast<pid_t>(program.processId()), signal);
    const CtlResult finished = finish(program);
    EXPECT_EQ(finished.exitCode, 0) << finished.err.toStdString();
    EXPECT_TRUE(finished.out.startsWith(QStringLiteral("OK Empfänger 04711: erfolgreich"))) << finished.out.toStdString();
    EXPECT_EQ(finished.err.count(QStringLiteral("Abbruch nach dem Schreiben und Prüfen")), 1) << finished.err.toStdString();
    EXPECT_EQ(device->stats().commands, before + 256 + 21 + 248 + 256);  // the whole run
  }
}

TEST(CtlInterrupt, AProgramRunInterruptedInItsPreReadWritesNothing) {
  CtlFolder folder;
  auto device = startedDevice(slowDevice());
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "device.lk2"}).exitCode, 0);
  const Table before = device->eeprom();
  const long commands = device->stats().commands;
  QProcess program;
  startCtl(program, folder, {"program", "-p", slave(*device), "device.lk2"});
  ASSERT_TRUE(waitFor([&] { return device->stats().commands >= commands + 100; }));
  ::kill(static_cast<pid_t>(program.processId()), SIGINT);
  const CtlResult cut = finish(program);
  EXPECT_EQ(cut.exitCode, 128 + SIGINT);
  EXPECT_LT(device->stats().commands, commands + 256 + 21);
  EXPECT_EQ(device->eeprom(), before);
  EXPECT_FALSE(QDir(folder.path("Sicherungen")).exists() &&
               !QDir(folder.path("Sicherungen")).entryList(QDir::Files).isEmpty());
}

QByteArray contentsOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Three devices on one link: the second swapped in faster than one probe
// (never seen gone), the third after the loop saw the second unplugged.
TEST(CtlInterrupt, TheProductionLoopRecordsEachDeviceSwappedFastOrSlowAndSumsUpAtCtrlC) {
  CtlFolder folder;
  {
    auto source = startedDevice();
    ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*source), "-o", "batch.lk2"}).exitCode, 0);
  }
  Options first;
  first.linkPath = folder.file("tty");
  auto receiver = startedDevice(first);
  QProcess loop;
  startCtl(loop, folder, {"program", "--each", "--record", "rec.csv", "-p", folder.path("tty"), "batch.lk2"});
  QString out;
  QString err;
  auto until = [&](auto seen) {
    return waitFor([&] {
      loop.waitForReadyRead(50);
      out += QString::fromUtf8(loop.readAllStandardOutput());
      err += QString::fromUtf8(loop.readAllStandardError());
      return seen();
    });
  };
  ASSERT_TRUE(until([&] { return out.contains(QLatin1String("04711")); })) << err.toStdString();
  // What was loaded is what is recorded, whatever the disk holds later.
  const QByteArray loaded = QCryptographicHash::hash(contentsOf(folder.path("batch.lk2")), QCryptographicHash::Sha256).toHex();
  {
    QFile changed(folder.path("batch.lk2"));
    ASSERT_TRUE(changed.open(QIODevice::Append));
    changed.write("changed after the loop loaded it\n");
  }
  // Swapped between two probes: the same port answers as another receiver,
  // of the same type, so only its serial number tells it apart.
  Table swapped = receiver->eeprom();
  swapped[addr::kReceiverSerialLow] = static_cast<std::uint8_t>(swapped[addr::kReceiverSerialLow] + 2);  // 04713
  receiver->setEeprom(swapped);
  ASSERT_TRUE(until([&] { return out.contains(QLatin1String("04713")); })) << err.toStdString();
  EXPECT_EQ(err.count(QStringLiteral("Warte auf das nächste Gerät")), 1) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("Anderes Gerät erkannt"))) << err.toStdString();

  receiver->stop();
  ASSERT_TRUE(until([&] { return err.count(QStringLiteral("Warte auf das nächste Gerät")) >= 2; })) << err.toStdString();
  Options third;
  third.linkPath = folder.file("tty");
  auto another = startedDevice(third);
  Table image = another->eeprom();
  image[addr::kReceiverSerialLow] = static_cast<std::uint8_t>(image[addr::kReceiverSerialLow] + 1);  // 04712
  another->setEeprom(image);
  ASSERT_TRUE(until([&] { return out.contains(QLatin1String("04712")); })) << err.toStdString();
  ::kill(static_cast<pid_t>(loop.processId()), SIGINT);
  const CtlResult ended = finish(loop);
  out += ended.out;
  EXPECT_EQ(ended.exitCode, 0) << ended.err.toStdString();
  const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4) << out.toStdString();
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("OK Empfänger 04711: erfolgreich, Sicherung"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("OK Empfänger 04713: erfolgreich, Sicherung"))) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].startsWith(QStringLiteral("OK Empfänger 04712: erfolgreich, Sicherung"))) << lines[2].toStdString();
  EXPECT_EQ(lines[3], QStringLiteral("Zusammenfassung: 3 erfolgreich, 0 fehlerhaft"));
  EXPECT_EQ(QDir(folder.path("Sicherungen")).entryList(QDir::Files).size(), 3);

  QFile record(folder.path("rec.csv"));
  ASSERT_TRUE(record.open(QIODevice::ReadOnly));
  const QStringList rows = QString::fromUtf8(record.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 4);
  EXPECT_EQ(rows[0], "time,station,port,command,type,serial,firmware,file,sha256,result,exit_status,backup,seconds");
  const char* expected[][2] = {{"Empfaenger", "04711"}, {"Empfaenger", "04713"}, {"Empfaenger", "04712"}};
  for (int i = 0; i < 3; ++i) {
    const QStringList cells = rows[i + 1].split(QLatin1Char(','));
    ASSERT_EQ(cells.size(), 13) << rows[i + 1].toStdString();
    EXPECT_EQ(cells[2], QStringLiteral("COM1 ") + folder.path("tty"));
    EXPECT_EQ(cells[3], "program");
    EXPECT_EQ(cells[4], expected[i][0]);
    EXPECT_EQ(cells[5], expected[i][1]);
    EXPECT_EQ(cells[7], "batch.lk2");
    EXPECT_EQ(cells[8], QString::fromLatin1(loaded));
    EXPECT_EQ(cells[9], "ok");
    EXPECT_EQ(cells[10], "0");
    EXPECT_TRUE(QFile::exists(cells[11])) << cells[11].toStdString();
  }
}

}  // namespace
}  // namespace lk24::test
