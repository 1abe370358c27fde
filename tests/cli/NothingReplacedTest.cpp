// lk24ctl never replaces what it should not: the template in use, a file
// without --force, the device's serial number after line noise, or a
// device with another's backup; and a backup goes back byte for byte.

#include "CtlProcess.h"

#include "model/ConfigurationFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace lk24::test {
namespace {

using devsim::DeviceType;
using devsim::Options;
using devsim::test::startedDevice;

QByteArray contentsOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(CtlNothingReplaced, ReadRefusesAnExistingFileWithoutForceAndTheTemplateAlways) {
  CtlFolder folder;
  auto device = startedDevice();
  const QByteArray shipped = contentsOf(folder.path("LK24.ini"));
  ::symlink("LK24.ini", folder.file("alias.ini").c_str());
  for (const QStringList& output : {QStringList{"-o", "LK24.ini"}, QStringList{"-o", "./sub/../LK24.ini"},
                                    QStringList{"-o", "alias.ini", "--force"}, QStringList{"-o", "LK24.ini", "--force"}}) {
    SCOPED_TRACE(output.join(' ').toStdString());
    QDir(folder.path(".")).mkpath("sub");
    const CtlResult refused = runCtl(folder, QStringList{"read", "-p", slave(*device)} + output);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Vorlage"))) << refused.err.toStdString();
    EXPECT_EQ(contentsOf(folder.path("LK24.ini")), shipped);
  }
  EXPECT_EQ(device->stats().bytesIn, 0);  // refused before the device is read

  QFile other(folder.path("mine.lk2"));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("keep me\n");
  other.close();
  const CtlResult noForce = runCtl(folder, {"read", "-p", slave(*device), "-o", "mine.lk2"});
  EXPECT_EQ(noForce.exitCode, 2);
  EXPECT_TRUE(noForce.err.contains(QStringLiteral("--force"))) << noForce.err.toStdString();
  EXPECT_EQ(contentsOf(folder.path("mine.lk2")), QByteArray("keep me\n"));
  const CtlResult forced = runCtl(folder, {"read", "-p", slave(*device), "-o", "mine.lk2", "--force"});
  EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
  EXPECT_TRUE(readConfigurationFile(folder.file("mine.lk2")).ok);
}

// Every file lk24ctl writes: never the template or an input, however named,
// never anything but a plain file; each refused before a byte is sent.
TEST(CtlNothingReplaced, NoCommandWritesTheTemplateItsInputOrANodeThatIsNoFile) {
  CtlFolder folder;
  auto device = startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "kunde.lk2"}).exitCode, 0);
  const long long bytesBefore = device->stats().bytesIn;
  ASSERT_EQ(::link(folder.file("kunde.lk2").c_str(), folder.file("hard.lk2").c_str()), 0);
  ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
  const QByteArray shipped = contentsOf(folder.path("LK24.ini"));
  const QByteArray customer = contentsOf(folder.path("kunde.lk2"));
  const QString port = slave(*device);
  const QList<QStringList> refusedRuns{
      {"report", "-o", "kunde.lk2", "kunde.lk2", "--force"},
      {"report", "-o", "hard.lk2", "./kunde.lk2", "--force"},
      {"report", "-o", "LK24.ini", "-p", port, "--force"},
      {"report", "-o", "/dev/null", "kunde.lk2", "--force"},
      {"report", "-o", "new.pdf", "-p", port, "--template", "new.pdf", "--force"},
      {"report", "-o", "customer.pdf", "kunde.lk2"},  // exists, no --force
      {"read", "-p", port, "-o", "fifo", "--force"},
      {"read", "-p", port, "-o", ".", "--force"},
      {"read", "-p", port, "-o", "out.lk2", "--record", "out.lk2"},
      {"program", "-p", port, "--record", "LK24.ini", "kunde.lk2"},
      {"program", "-p", port, "--record", "hard.lk2", "kunde.lk2"},
      {"program", "-p", port, "--record", "/dev/null", "kunde.lk2"},
      {"verify", "-p", port, "--record", "fifo", "kunde.lk2"},
  };
  QFile pdf(folder.path("customer.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
  pdf.write("an older report\n");
  pdf.close();
  for (const QStringList& run : refusedRuns) {
    SCOPED_TRACE(run.join(' ').toStdString());
    const CtlResult refused = runCtl(folder, run);
    EXPECT_EQ(refused.exitCode, 2) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("nie beschrieben")) || refused.err.contains(QStringLiteral("--force")))
        << refused.err.toStdString();
  }
  EXPECT_EQ(contentsOf(folder.path("LK24.ini")), shipped);
  EXPECT_EQ(contentsOf(folder.path("kunde.lk2")), customer);
  EXPECT_EQ(contentsOf(folder.path("customer.pdf")), QByteArray("an older report\n"));
  EXPECT_FALSE(QFile::exists(folder.path("out.lk2")));
  EXPECT_FALSE(QFile::exists(folder.path("new.pdf")));
  EXPECT_EQ(device->stats().bytesIn, bytesBefore);
}

TEST(CtlNothingReplaced, LineNoiseInThePreReadNeverBecomesTheSerialNumber) {
  CtlFolder folder;
  {
    auto source = startedDevice();
    ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*source), "-o", "device.lk2"}).exitCode, 0);
  }
  Options noisy;
  noisy.noisyAnswer = 176;  // the pre-read's answer for byte 176
  auto device = startedDevice(noisy);
  const Table before = device->eeprom();
  const CtlResult run = runCtl(folder, {"program", "-p", slave(*device), "device.lk2"});
  EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(QStringLiteral("Leitung gestört"))) << run.err.toStdString();
  EXPECT_EQ(device->eeprom(), before);

  // In a read, a disturbed answer is the line's fault, not the device's.
  Options noisyRead;
  noisyRead.noisyAnswer = 17;
  auto read = startedDevice(noisyRead);
  const CtlResult info = runCtl(folder, {"info", "-p", slave(*read)});
  EXPECT_EQ(info.exitCode, 4) << info.err.toStdString();
  EXPECT_TRUE(info.err.contains(QStringLiteral("Verbindung prüfen"))) << info.err.toStdString();
}

TEST(CtlNothingReplaced, RestorePutsBackEveryByteOfTheBackupIntoItsOwnDeviceOnly) {
  CtlFolder folder;
  auto device = startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "device.lk2"}).exitCode, 0);
  const Table original = device->eeprom();
  Table changed = original;
  changed[22] ^= 0x5A;
  changed[243] ^= 0x0F;  // beyond what a program run compares
  changed[addr::kChecksum] = calculatechecksum(changed);
  device->setEeprom(changed);
  // A backup of the device as it was, taken by a program run.
  const CtlResult backedUp = runCtl(folder, {"program", "-p", slave(*device), "--json", "device.lk2"});
  ASSERT_EQ(backedUp.exitCode, 0) << backedUp.err.toStdString();
  const QString backup = backedUp.json()["backupFile"].toString();
  ASSERT_FALSE(backup.isEmpty());

  const CtlResult restored = runCtl(folder, {"restore", "-p", slave(*device), "--json", backup});
  EXPECT_EQ(restored.exitCode, 0) << restored.err.toStdString();
  const Table after = device->eeprom();
  for (int a = 0; a <= addr::kLastWritten; ++a) EXPECT_EQ(after[a], changed[a]) << a;
  EXPECT_NE(restored.json()["backupFile"].toString(), backup);  // the state before it was kept too

  // A backup that is no device's image as read: byte 50 changed by hand,
  // then also byte 239 mended, so that only the file's own checksum tells.
  const auto edited = [&](const QString& name, bool mendEepromChecksum) {
    QList<QByteArray> lines = contentsOf(backup).split('\n');
    Table image = readConfigurationFile(backup.toStdString()).deviceImage;
    image[50] ^= 0x01;
    lines[256 + 50] = QByteArray::number(image[50]) + '\r';
    if (mendEepromChecksum) lines[256 + addr::kChecksum] = QByteArray::number(calculatechecksum(image)) + '\r';
    QFile file(folder.path(name.toStdString()));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join('\n'));
    return name;
  };
  for (const QString& name : {edited("byte50.lk2", false), edited("sum.lk2", true)}) {
    SCOPED_TRACE(name.toStdString());
    const Table before = device->eeprom();
    const long long bytesBefore = device->stats().bytesIn;
    const CtlResult wrong = runCtl(folder, {"restore", "-p", slave(*device), name});
    EXPECT_EQ(wrong.exitCode, 2) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("--force"))) << wrong.err.toStdString();
    EXPECT_EQ(device->stats().bytesIn, bytesBefore);
    EXPECT_EQ(device->eeprom(), before);
  }
  const CtlResult forced = runCtl(folder, {"restore", "-p", slave(*device), "--force", "sum.lk2"});
  EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
  EXPECT_TRUE(forced.err.contains(QStringLiteral("Prüfsumme der Datei"))) << forced.err.toStdString();

  Options another;
  another.type = DeviceType::Transmitter;
  auto transmitter = startedDevice(another);
  const Table untouched = transmitter->eeprom();
  const CtlResult refused = runCtl(folder, {"restore", "-p", slave(*transmitter), backup});
  EXPECT_EQ(refused.exitCode, 6);
  EXPECT_TRUE(refused.err.contains(QStringLiteral("Empfänger 04711"))) << refused.err.toStdString();
  EXPECT_TRUE(refused.err.contains(QStringLiteral("Sender 02342"))) << refused.err.toStdString();
  EXPECT_EQ(transmitter->eeprom(), untouched);
}

}  // namespace
}  // namespace lk24::test
