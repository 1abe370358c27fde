// lk24ctl diff: the settings in which two files, or a file and a device,
// differ. Exit status 5 when any does, as verify's.
#include "cli/SettingsCommands.h"

#include "cli/Output.h"
#include "cli/SettingsImages.h"
#include "link/DeviceIdentity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lk24::cli {

namespace {

QByteArray json(const SettingsImages& loaded, const std::vector<SettingDifference>& differences) {
  QJsonArray rows;
  for (const SettingDifference& d : differences) {
    rows.append(QJsonObject{{QStringLiteral("page"), d.page.empty() ? QJsonValue() : QString::fromStdString(d.page)},
                            {QStringLiteral("caption"), QString::fromStdString(d.caption)},
                            {QStringLiteral("addresses"), QString::fromStdString(d.addresses)},
                            {QStringLiteral("a"), QString::fromStdString(d.a)},
                            {QStringLiteral("b"), QString::fromStdString(d.b)}});
  }
  const QJsonObject document{
      {QStringLiteral("schema"), kJsonSchema},
      {QStringLiteral("tool"), toolVersion()},
      {QStringLiteral("command"), QStringLiteral("diff")},
      {QStringLiteral("a"), loaded.images[0].name},
      {QStringLiteral("b"), loaded.images[1].name},
      {QStringLiteral("differences"), rows},
  };
  return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

}  // namespace

QString differenceLine(const SettingDifference& d) {
  const QString where = d.page.empty() ? QString()
                                       : QStringLiteral("  (%1, Adresse %2)")
                                             .arg(QString::fromStdString(d.page), QString::fromStdString(d.addresses));
  return QStringLiteral("%1  %2 | %3%4")
      .arg(QString::fromStdString(d.caption), QString::fromStdString(d.a), QString::fromStdString(d.b), where);
}

int runDiff(const Arguments& arguments, const InterruptWatch* interrupts) {
  const SettingsImages loaded = loadSettingsImages(arguments, interrupts);
  if (!loaded.message.isEmpty()) printErr(QStringLiteral("lk24ctl: ") + loaded.message);
  if (loaded.exitCode != 0) return loaded.exitCode;
  const Table& a = loaded.images[0].image;
  const Table& b = loaded.images[1].image;
  const std::vector<SettingDifference> differences = compareSettings(a, b, settingsHalvesOf(a, b));
  if (arguments.json) {
    printOut(QString::fromUtf8(json(loaded, differences)));
  } else {
    printOut(QStringLiteral("A: ") + loaded.images[0].name);
    printOut(QStringLiteral("B: ") + loaded.images[1].name);
    for (const SettingDifference& d : differences) printOut(differenceLine(d));
    printOut(differences.empty() ? QStringLiteral("A und B stimmen überein")
                                 : QStringLiteral("%1 Abweichung(en)").arg(differences.size()));
  }
  return loaded.finalCode(differences.empty() ? ExitStatus::Success : ExitStatus::VerifyDifferences);
}

}  // namespace lk24::cli
