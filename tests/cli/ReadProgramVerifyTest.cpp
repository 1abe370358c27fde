// lk24ctl's main road end to end: a read gives the file the window saves, and
// that file programmed into another device verifies, with a backup of what
// the device held before.

#include "CtlProcess.h"
#include "editor/DerivedTexts.h"
#include "editor/ImageCorrections.h"
#include "model/ConfigurationFile.h"
#include "model/TemplateFormat.h"

#include <QDir>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <cstdlib>

namespace lk24::test {
namespace {

using devsim::DeviceType;
using devsim::Options;
using devsim::test::startedDevice;

// What "Speichern" after "Auslesen" writes for a device image: the
// template's tables, the refresh's corrections, the merge, the firmware of
// the recognised receiver and " ??? " for the transmitter half.
LineList windowSaveOfReceiver(const Table& deviceImage, int port) {
  ConfigImage image;
  LineList templateLines;
  EXPECT_EQ(templateLines.loadFromFile(LK24_SOURCE_DIR "/templates/LK24.ini"), FileReadStatus::Ok);
  EXPECT_EQ(loadTemplateTables(templateLines, image), TemplateLoad::Valid);
  image.DeviceImage = deviceImage;
  applyImageCorrections(image.DeviceImage);
  return BuildFile(image, port, kUnknownText,
                   firmwareText(deviceImage[addr::kFirmwareMajor], deviceImage[addr::kFirmwareMinor]));
}

void expectSameApartFromSignature(const LineList& actual, const LineList& expected) {
  ASSERT_EQ(actual.count(), line::kCount);
  ASSERT_EQ(expected.count(), line::kCount);
  for (int i = 0; i < line::kCount - 1; ++i) EXPECT_EQ(actual.line(i), expected.line(i)) << "line " << i;
}

TEST(CtlRoundTrip, ReadGivesTheWindowsSaveWithThePortLineOfTheRequest) {
  CtlFolder folder;
  auto receiver = startedDevice();
  // A value the refresh corrects (distance threshold 0 becomes 1) and a
  // stale version stamp: the file carries the corrected image.
  Table eeprom = receiver->eeprom();
  eeprom[30] = 0;
  eeprom[1] = 7;
  eeprom[239] = calculatechecksum(eeprom);
  receiver->setEeprom(eeprom);

  ::setenv("LK24_COM2", receiver->slavePath().c_str(), 1);
  const CtlResult viaCom = runCtl(folder, {"read", "-p", "COM2", "-o", "com2.lk2"});
  ::unsetenv("LK24_COM2");
  ASSERT_EQ(viaCom.exitCode, 0) << viaCom.err.toStdString();
  EXPECT_TRUE(viaCom.err.contains(QStringLiteral("Daten erfolgreich gelesen")));
  LineList written;
  ASSERT_EQ(written.loadFromFile(folder.file("com2.lk2")), FileReadStatus::Ok);
  expectSameApartFromSignature(written, windowSaveOfReceiver(eeprom, 2));

  // A device path takes the template's port number (1 in the shipped one).
  const CtlResult viaPath = runCtl(folder, {"read", "--port", slave(*receiver), "--output", "path.lk2", "--json"});
  ASSERT_EQ(viaPath.exitCode, 0) << viaPath.err.toStdString();
  ASSERT_EQ(written.loadFromFile(folder.file("path.lk2")), FileReadStatus::Ok);
  expectSameApartFromSignature(written, windowSaveOfReceiver(eeprom, 1));
  const QJsonObject json = viaPath.json();
  EXPECT_EQ(json["command"].toString(), "read");
  EXPECT_EQ(json["exitStatus"].toInt(), 0);
  EXPECT_EQ(json["portDevice"].toString(), slave(*receiver));
  EXPECT_EQ(json["device"]["type"].toString(), "receiver");
  EXPECT_EQ(json["device"]["serialNumber"].toInt(), 4711);
  EXPECT_EQ(json["device"]["firmware"].toString(), "1.05");
  EXPECT_TRUE(json["device"]["checksumRight"].toBool());
  EXPECT_EQ(json["log"].toArray().first()["text"].toString(), "Daten erfolgreich gelesen");
}

TEST(CtlRoundTrip, ProgramOfAReceiversFileIntoATransmitterVerifiesAndKeepsABackup) {
  CtlFolder folder;
  auto receiver = startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*receiver), "-o", "receiver.lk2"}).exitCode, 0);

  // The file asks for values the load's refresh corrects.
  Table requested = readConfigurationFile(folder.file("receiver.lk2")).deviceImage;
  requested[addr::kDistanceThreshold] = 0;
  requested[addr::kAlarmTonePeriod] = 0;
  requested[1] = 7;  // a stale version stamp
  requested[2] = 7;
  {
    ConfigImage file;
    file.AndMask.fill(0xFF);
    file.DeviceImage = requested;
    ASSERT_EQ(BuildFile(file, 1, kUnknownText, kUnknownText).saveToFile(folder.file("needs-correcting.lk2")),
              FileWriteStatus::Ok);
  }

  Options transmitterOptions;
  transmitterOptions.type = DeviceType::Transmitter;
  auto transmitter = startedDevice(transmitterOptions);
  const Table before = transmitter->eeprom();
  const CtlResult program = runCtl(folder, {"program", "-p", slave(*transmitter), "--json", "needs-correcting.lk2"});
  ASSERT_EQ(program.exitCode, 0) << program.err.toStdString() << program.out.toStdString();
  const QJsonObject json = program.json();
  EXPECT_EQ(json["result"].toString(), "success");
  EXPECT_EQ(json["device"]["type"].toString(), "transmitter");
  EXPECT_EQ(json["device"]["serialNumber"].toInt(), 2342);

  // The whole EEPROM, built here byte by byte: the file's bytes corrected,
  // the transmitter's own serial numbers and the pauses derived from them,
  // the checksum over that, and the bytes past the write pass untouched.
  Table expected = requested;
  expected[addr::kDistanceThreshold] = 1;
  expected[addr::kAlarmTonePeriod] = 1;
  expected[1] = 1;
  expected[2] = 0;
  for (int a : {176, 177, 234, 235}) expected[a] = before[a];
  if (expected[233] & 0x04) {
    const int n = before[235] % 16;
    expected[185] = static_cast<std::uint8_t>((25 + 4 * n) >> 8);
    expected[186] = static_cast<std::uint8_t>((25 + 4 * n) & 0xFF);
    expected[210] = static_cast<std::uint8_t>((200 + 8 * n) >> 8);
    expected[211] = static_cast<std::uint8_t>((200 + 8 * n) & 0xFF);
  }
  for (int a = 248; a < kImageSize; ++a) expected[a] = before[a];
  expected[addr::kChecksum] = calculatechecksum(expected);
  const Table after = transmitter->eeprom();
  for (int a = 0; a < kImageSize; ++a) EXPECT_EQ(after[a], expected[a]) << "address " << a;

  // The backup beside the template holds the transmitter's bytes as they were.
  const QStringList backups = QDir(folder.path("Sicherungen")).entryList(QDir::Files);
  ASSERT_EQ(backups.size(), 1);
  EXPECT_EQ(json["backupFile"].toString(), folder.path("Sicherungen/" + backups.first().toStdString()));
  const ConfigurationFileLoad backup = readConfigurationFile(json["backupFile"].toString().toStdString());
  ASSERT_TRUE(backup.ok);
  EXPECT_EQ(backup.deviceImage, before);

  EXPECT_EQ(runCtl(folder, {"verify", "-p", slave(*transmitter), "needs-correcting.lk2"}).exitCode, 0);

  // A byte above the checksum is written too: one the device no longer
  // holds as written differs, named by its number.
  Table worn = transmitter->eeprom();
  worn[245] ^= 0x01;
  transmitter->setEeprom(worn);
  const CtlResult wornCell = runCtl(folder, {"verify", "-p", slave(*transmitter), "needs-correcting.lk2"});
  EXPECT_EQ(wornCell.exitCode, 5) << wornCell.out.toStdString();
  EXPECT_TRUE(wornCell.out.contains(QStringLiteral("Byte 245"))) << wornCell.out.toStdString();
  worn[245] ^= 0x01;
  transmitter->setEeprom(worn);

  // Another configuration: every differing address is listed with both values.
  ConfigImage other;
  other.AndMask.fill(0xFF);
  other.DeviceImage = backup.deviceImage;
  other.DeviceImage[40] = static_cast<std::uint8_t>(transmitter->eeprom()[40] + 1);
  ASSERT_EQ(BuildFile(other, 1, kUnknownText, kUnknownText).saveToFile(folder.file("other.lk2")), FileWriteStatus::Ok);
  const CtlResult verify = runCtl(folder, {"verify", "-p", slave(*transmitter), "--json", "other.lk2"});
  EXPECT_EQ(verify.exitCode, 5);
  bool listed40 = false;
  for (const QJsonValue& d : verify.json()["differences"].toArray()) {
    if (d["address"].toInt() == 40) {
      listed40 = d["expected"].toInt() == transmitter->eeprom()[40] + 1 && d["actual"].toInt() == transmitter->eeprom()[40];
    }
  }
  EXPECT_TRUE(listed40) << verify.out.toStdString();
  EXPECT_TRUE(verify.err.contains(QStringLiteral("FEHLER Verify"))) << verify.err.toStdString();
}

}  // namespace
}  // namespace lk24::test
