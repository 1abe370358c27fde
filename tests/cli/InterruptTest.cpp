// SIGINT while lk24ctl works: a read stops at once, a program run finishes
// its write pass first, and the production loop programs one device after
// another until it is interrupted between them.

#include "CtlProcess.h"

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

template <typename Condition>
bool waitFor(Condition done, int ms = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

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
    startCtl(program, folder, {"program", "-p", slave(*device), "device.lk2"});
    ASSERT_TRUE(waitFor([&] { return device->stats().commands >= before + 256 + 8 + 60; }));  // writing
    ::kill(static_cast<pid_t>(program.processId()), signal);
    program.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(program.waitForReadyRead(5000));
    EXPECT_LT(device->stats().commands, before + 256 + 8 + 248 + 256);  // acknowledged before the run ends
    ::kill(static_cast<pid_t>(program.processId()), signal);
    const CtlResult finished = finish(program);
    EXPECT_EQ(finished.exitCode, 0) << finished.err.toStdString();
    EXPECT_TRUE(finished.out.contains(QStringLiteral("Daten erfolgreich übertragen")));
    EXPECT_EQ(finished.err.count(QStringLiteral("Abbruch nach dem Schreiben und Prüfen")), 1) << finished.err.toStdString();
    EXPECT_EQ(device->stats().commands, before + 256 + 8 + 248 + 256);  // the whole run
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
  EXPECT_LT(device->stats().commands, commands + 256 + 8);
  EXPECT_EQ(device->eeprom(), before);
  EXPECT_FALSE(QDir(folder.path("Sicherungen")).exists() &&
               !QDir(folder.path("Sicherungen")).entryList(QDir::Files).isEmpty());
}

TEST(CtlInterrupt, TheProductionLoopProgramsEachDeviceThatIsPluggedIn) {
  CtlFolder folder;
  {
    auto source = startedDevice();
    ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*source), "-o", "batch.lk2"}).exitCode, 0);
  }
  Options first;
  first.linkPath = folder.file("tty");
  auto receiver = startedDevice(first);
  QProcess loop;
  startCtl(loop, folder, {"program", "--each", "-p", folder.path("tty"), "batch.lk2"});
  QString out;
  auto lineFor = [&](const char* serial) {
    return waitFor([&] {
      loop.waitForReadyRead(50);
      out += QString::fromUtf8(loop.readAllStandardOutput());
      return out.contains(QLatin1String(serial));
    });
  };
  ASSERT_TRUE(lineFor("04711"));
  receiver->stop();  // unplugged
  // Hands take longer than one probe to swap devices: the next one comes
  // once the loop has seen this one gone and waits again.
  QString err;
  ASSERT_TRUE(waitFor([&] {
    loop.waitForReadyRead(50);
    err += QString::fromUtf8(loop.readAllStandardError());
    const qsizetype done = err.indexOf(QStringLiteral("bitte das Gerät abziehen"));
    return done >= 0 && err.indexOf(QStringLiteral("Warte auf das nächste Gerät"), done) > done;
  })) << err.toStdString();

  Options second;
  second.type = DeviceType::Transmitter;
  second.linkPath = folder.file("tty");
  auto transmitter = startedDevice(second);
  ASSERT_TRUE(lineFor("02342")) << out.toStdString();
  ::kill(static_cast<pid_t>(loop.processId()), SIGINT);
  const CtlResult ended = finish(loop);
  out += ended.out;
  EXPECT_EQ(ended.exitCode, 0) << ended.err.toStdString();
  const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << out.toStdString();
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Empfänger 04711: erfolgreich, Sicherung"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Sender 02342: erfolgreich, Sicherung"))) << lines[1].toStdString();
  EXPECT_EQ(QDir(folder.path("Sicherungen")).entryList(QDir::Files).size(), 2);
}

}  // namespace
}  // namespace lk24::test
