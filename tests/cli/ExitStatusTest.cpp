// Every exit status of lk24ctl once, each with a message that names its
// cause, and that a bad file, template or port sends nothing.

#include "CtlProcess.h"
#include "model/ConfigurationFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>

#include <fstream>

namespace lk24::test {
namespace {

using devsim::Options;
using devsim::test::startedDevice;

class CtlExitStatus : public ::testing::Test {
 protected:
  CtlFolder folder;

  // A configuration file of the simulated receiver, as read by lk24ctl.
  void readReceiverFile(const std::string& name) {
    auto device = startedDevice();
    ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", QString::fromStdString(name)}).exitCode, 0);
  }
};

TEST_F(CtlExitStatus, UsageErrorsAreOne) {
  struct Case {
    QStringList args;
    const char* named;
  };
  const Case cases[] = {
      {{"read", "--bogus"}, "--bogus"},
      {{"read", "-p", "COM1"}, "--output"},
      {{"program", "-p", "COM1"}, "Datei fehlt"},
      {{"info", "-p"}, "-p"},
      {{"info", "-p", "COM5"}, "COM5"},
      {{"flash"}, "flash"},
      {{}, "kein Befehl"},
  };
  for (const Case& c : cases) {
    const CtlResult result = runCtl(folder, c.args);
    EXPECT_EQ(result.exitCode, 1) << c.args.join(' ').toStdString();
    EXPECT_TRUE(result.err.contains(QLatin1String(c.named))) << result.err.toStdString();
  }
  EXPECT_EQ(runCtl(folder, {"--help"}).exitCode, 0);
}

// A bad template or file sends nothing; a backup that cannot be kept lets
// nothing be written.
TEST_F(CtlExitStatus, UnusableFilesAreTwo) {
  readReceiverFile("good.lk2");
  std::ofstream(folder.file("binary.lk2"), std::ios::binary) << std::string("\x7f" "ELF\x01\x02\0\0", 8);
  {
    std::ifstream good(folder.file("good.lk2"));
    std::ofstream shortFile(folder.file("511.lk2"));
    std::string text;
    for (int i = 0; i < 511 && std::getline(good, text); ++i) shortFile << text << '\n';
  }
  std::ofstream(folder.file("huge.lk2")) << std::string((1 << 20) + 1, '1');
  QDir(folder.path(".")).mkdir("folder.lk2");

  auto device = startedDevice();
  for (const char* file : {"folder.lk2", "binary.lk2", "511.lk2", "huge.lk2", "missing.lk2"}) {
    const CtlResult result = runCtl(folder, {"program", "-p", slave(*device), file});
    EXPECT_EQ(result.exitCode, 2) << file;
    EXPECT_TRUE(result.err.contains(QLatin1String(file))) << result.err.toStdString();
  }
  {
    std::ifstream in(folder.file("good.lk2"));
    std::ofstream outOfRange(folder.file("300.lk2"));
    std::string text;
    for (int i = 0; std::getline(in, text); ++i) outOfRange << (i == 300 ? "256" : text) << '\n';
  }
  const CtlResult badValue = runCtl(folder, {"show", "300.lk2"});
  EXPECT_EQ(badValue.exitCode, 2);
  EXPECT_TRUE(badValue.err.contains(QStringLiteral("Zeile 301 ist kein Wert 0 bis 255"))) << badValue.err.toStdString();
  const CtlResult noTemplate = runCtl(folder, {"info", "-p", slave(*device), "--template", "none.ini"});
  EXPECT_EQ(noTemplate.exitCode, 2);
  EXPECT_TRUE(noTemplate.err.contains(QStringLiteral("none.ini"))) << noTemplate.err.toStdString();
  {
    std::ifstream in(folder.file("good.lk2"));
    std::ofstream wrong(folder.file("wrong.ini"));
    std::string text;
    // A configuration file passes as a template until a table line changes.
    for (int i = 0; std::getline(in, text); ++i) wrong << (i == 300 ? "99" : text) << '\n';
  }
  const CtlResult wrongTemplate = runCtl(folder, {"read", "-p", slave(*device), "-o", "x.lk2", "--template", "wrong.ini"});
  EXPECT_EQ(wrongTemplate.exitCode, 2);
  EXPECT_TRUE(wrongTemplate.err.contains(QStringLiteral("Prüfsumme"))) << wrongTemplate.err.toStdString();
  EXPECT_EQ(device->stats().bytesIn, 0);

  std::ofstream(folder.file("not-a-folder")) << "a file where the backup folder belongs";
  const CtlResult noBackup = runCtl(folder, {"program", "-p", slave(*device), "--backup-dir", "not-a-folder", "good.lk2"});
  EXPECT_EQ(noBackup.exitCode, 2);
  EXPECT_TRUE(noBackup.err.contains(QStringLiteral("Sicherung der Gerätedaten fehlgeschlagen"))) << noBackup.err.toStdString();
  EXPECT_EQ(device->stats().commands, 256 + 21);  // the pre-read and the device's bytes again
}

TEST_F(CtlExitStatus, APortMissingOrHeldElsewhereIsThreeNamesTheCauseAndSendsNothing) {
  const CtlResult missing = runCtl(folder, {"info", "-p", folder.path("no-such-tty")});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_TRUE(missing.out.isEmpty()) << missing.out.toStdString();  // a failure is a message, told once
  EXPECT_EQ(missing.err.count(QStringLiteral("Fehler beim Öffnen COM-Port")), 1) << missing.err.toStdString();
  EXPECT_TRUE(missing.err.contains(folder.path("no-such-tty") + QStringLiteral("): Gerät nicht vorhanden")))
      << missing.err.toStdString();

  auto device = startedDevice();
  QProcess holder;  // another program with the port open
  holder.setStandardInputFile(slave(*device));
  holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(holder.waitForStarted());
  const qint64 holderPid = holder.processId();
  const CtlResult held = runCtl(folder, {"read", "-p", slave(*device), "-o", "held.lk2"});
  holder.kill();
  holder.waitForFinished();
  EXPECT_EQ(held.exitCode, 3);
  EXPECT_TRUE(held.err.contains(QStringLiteral("sleep (PID %1)").arg(holderPid))) << held.err.toStdString();
  EXPECT_EQ(device->stats().bytesIn, 0);
}

TEST_F(CtlExitStatus, DeviceFaultsGiveFourToSeven) {
  readReceiverFile("receiver.lk2");

  Options silent;
  silent.silent = true;
  auto quiet = startedDevice(silent);
  const CtlResult noAnswer = runCtl(folder, {"info", "-p", slave(*quiet)});
  EXPECT_EQ(noAnswer.exitCode, 4);
  EXPECT_TRUE(noAnswer.err.contains(QStringLiteral("Übertragungsfehler bei Byte 0"))) << noAnswer.err.toStdString();

  // Stops in the write pass: the byte is named, the backup holds the device's image.
  Options stopping;
  stopping.stopAfter = 256 + 21 + 60;
  auto stops = startedDevice(stopping);
  const Table before = stops->eeprom();
  const CtlResult cut = runCtl(folder, {"program", "-p", slave(*stops), "--json", "receiver.lk2"});
  EXPECT_EQ(cut.exitCode, 4);
  EXPECT_TRUE(cut.err.contains(QStringLiteral("Übertragungsfehler bei Byte 60"))) << cut.err.toStdString();
  const ConfigurationFileLoad backup = readConfigurationFile(cut.json()["backupFile"].toString().toStdString());
  ASSERT_TRUE(backup.ok);
  EXPECT_EQ(backup.deviceImage, before);
  // The way back printed names the run's own template, so it works as printed.
  std::filesystem::copy_file(folder.file("LK24.ini"), folder.file("bench.ini"));
  auto stopsAgain = startedDevice(stopping);
  const CtlResult cutWithTemplate =
      runCtl(folder, {"program", "-p", slave(*stopsAgain), "--template", "bench.ini", "receiver.lk2"});
  EXPECT_EQ(cutWithTemplate.exitCode, 4);
  EXPECT_TRUE(cutWithTemplate.out.contains(QStringLiteral("zurück mit: lk24ctl restore --port '%1' --template 'bench.ini' '")
                                               .arg(slave(*stopsAgain))))
      << cutWithTemplate.out.toStdString();

  // Each cause alone refuses the run: one simulator per cause.
  for (const auto& [cause, refusal] : {std::pair{"protected", "Konfiguration überschreiben nicht erlaubt!"},
                                       std::pair{"firmware", "Geräte-Firmware und Software passen nicht zusammen!"}}) {
    Options guarded;
    if (cause == std::string("protected")) guarded.writeProtected = true;
    if (cause == std::string("firmware")) guarded.firmware = std::pair{1, 20};
    auto refuses = startedDevice(guarded);
    const Table protectedImage = refuses->eeprom();
    const CtlResult refused = runCtl(folder, {"program", "-p", slave(*refuses), "receiver.lk2"});
    EXPECT_EQ(refused.exitCode, 6) << cause;
    EXPECT_TRUE(refused.err.contains(QString::fromUtf8(refusal))) << refused.err.toStdString();
    EXPECT_TRUE(refused.out.startsWith(QStringLiteral("FEHLER Empfänger 04711: "))) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains(QStringLiteral("NICHT AUSLIEFERN"))) << refused.out.toStdString();
    EXPECT_EQ(refuses->eeprom(), protectedImage);
    EXPECT_EQ(refuses->stats().commands, 256);  // the pre-read, no write
  }

  // Line faults in the pre-read or in a read are four, with nothing written and no file:
  // a disturbed answer inside the checksum and outside it, one answer twice
  // at once, and one copied late onto the last read, which only the quiet after it shows.
  struct LineFault {
    const char* command;
    Options options;
  };
  Options noisy50, noisy245, doubled, lateCopy;
  noisy50.noisyAt = 50;
  noisy245.noisyAt = 245;
  doubled.extraAfter = 9;
  lateCopy.lateExtraAfter = 254;
  lateCopy.latencyMs = 3;
  for (const LineFault& fault : {LineFault{"program", noisy50}, LineFault{"program", noisy245},
                                 LineFault{"read", doubled}, LineFault{"read", lateCopy}}) {
    auto disturbed = startedDevice(fault.options);
    const Table untouched = disturbed->eeprom();
    const bool program = fault.command == std::string("program");
    const CtlResult run = program ? runCtl(folder, {"program", "-p", slave(*disturbed), "receiver.lk2"})
                                  : runCtl(folder, {"read", "-p", slave(*disturbed), "-o", "shifted.lk2"});
    EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
    EXPECT_EQ(disturbed->eeprom(), untouched);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder.file("shifted.lk2"))));
  }

  Options broken;
  broken.badChecksum = true;
  auto wrongSum = startedDevice(broken);
  const CtlResult read = runCtl(folder, {"read", "-p", slave(*wrongSum), "-o", "broken.lk2"});
  EXPECT_EQ(read.exitCode, 7);
  EXPECT_TRUE(read.err.contains(QStringLiteral("EEPROM checksum Fehler"))) << read.err.toStdString();
  EXPECT_TRUE(readConfigurationFile(folder.file("broken.lk2")).ok);
}

}  // namespace
}  // namespace lk24::test
