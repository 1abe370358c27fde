// lk24ctl show: every setting of a file or a device in the window's order.
#include "cli/SettingsCommands.h"

#include "cli/Output.h"
#include "cli/Report.h"
#include "cli/SettingsImages.h"
#include "link/DeviceIdentity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lk24::cli {

namespace {

QString serialNumberText(const DeviceFacts& facts) {
  return facts.serialNumber >= 0 ? QStringLiteral("%1").arg(facts.serialNumber, 5, 10, QLatin1Char('0'))
                                 : QStringLiteral("-");
}

void printText(const Table& image, const std::vector<SettingText>& settings) {
  const DeviceFacts facts = factsOf(image);
  printOut(QStringLiteral("Gerät:         ") + typeName(facts));
  printOut(QStringLiteral("Seriennummer:  ") + serialNumberText(facts));
  printOut(QStringLiteral("Firmware:      ") + facts.firmware);
  std::string page;
  for (const SettingText& s : settings) {
    if (s.page != page) {
      page = s.page;
      printOut(QString());
      printOut(QString::fromStdString(page));
    }
    const QString value = QString::fromStdString(s.unit.empty() ? s.value : s.value + " " + s.unit);
    printOut(QStringLiteral("  %1 %2 %3")
                 .arg(QString::fromStdString(s.caption), -44)
                 .arg(value, -30)
                 .arg(QString::fromStdString(s.addresses)));
  }
}

QByteArray json(const NamedImage& source, const std::vector<SettingText>& settings) {
  const DeviceFacts facts = factsOf(source.image);
  QJsonArray rows;
  for (const SettingText& s : settings) {
    rows.append(QJsonObject{{QStringLiteral("page"), QString::fromStdString(s.page)},
                            {QStringLiteral("caption"), QString::fromStdString(s.caption)},
                            {QStringLiteral("value"), QString::fromStdString(s.value)},
                            {QStringLiteral("unit"), QString::fromStdString(s.unit)},
                            {QStringLiteral("addresses"), QString::fromStdString(s.addresses)}});
  }
  const QJsonObject document{
      {QStringLiteral("schema"), kJsonSchema},
      {QStringLiteral("tool"), toolVersion()},
      {QStringLiteral("command"), QStringLiteral("show")},
      {QStringLiteral("source"), source.name},
      {QStringLiteral("device"),
       QJsonObject{{QStringLiteral("type"), typeName(facts)},
                   {QStringLiteral("serialNumber"), facts.serialNumber >= 0 ? QJsonValue(facts.serialNumber)
                                                                           : QJsonValue()},
                   {QStringLiteral("firmware"), facts.firmware}}},
      {QStringLiteral("settings"), rows},
  };
  return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

}  // namespace

int runShow(const Arguments& arguments, const InterruptWatch* interrupts) {
  const SettingsImages loaded = loadSettingsImages(arguments, interrupts);
  if (!loaded.message.isEmpty()) printErr(QStringLiteral("lk24ctl: ") + loaded.message);
  if (loaded.exitCode != 0) return loaded.exitCode;
  const NamedImage& source = loaded.images.front();
  const std::vector<SettingText> settings = describeSettings(source.image, settingsHalvesOf(source.image));
  if (arguments.json) {
    printOut(QString::fromUtf8(json(source, settings)));
  } else {
    printText(source.image, settings);
  }
  return loaded.finalCode(ExitStatus::Success);
}

}  // namespace lk24::cli
