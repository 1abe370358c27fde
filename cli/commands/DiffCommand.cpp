// lk24ctl diff: the settings in which two files, or a file and a device,
// differ. Exit status 5 when any does, as verify's.
#include "cli/commands/SettingsCommands.h"

#include "cli/args/CommandLine.h"
#include "cli/output/Json.h"
#include "cli/output/Output.h"
#include "cli/session/SettingsImages.h"
#include "editor/DeviceIdentity.h"

namespace lk24::cli {

namespace {

std::string jsonDocument(const SettingsImages& loaded, const std::vector<SettingDifference>& differences) {
  json::Array rows;
  for (const SettingDifference& d : differences) {
    rows.push_back(json::Object{{"page", json::orNull(d.page)},
                                {"caption", d.caption},
                                {"addresses", d.addresses},
                                {"a", d.a},
                                {"b", d.b}});
  }
  return json::compact(json::Object{
      {"schema", kJsonSchema},
      {"tool", toolVersion()},
      {"command", "diff"},
      {"a", loaded.images[0].name},
      {"b", loaded.images[1].name},
      {"differences", rows},
  });
}

}  // namespace

std::string differenceLine(const SettingDifference& d) {
  const std::string where = d.page.empty() ? std::string() : "  (" + d.page + ", Adresse " + d.addresses + ")";
  return d.caption + "  " + d.a + " | " + d.b + where;
}

int runDiff(const Arguments& arguments, const InterruptWatch* interrupts) {
  const SettingsImages loaded = loadSettingsImages(arguments, interrupts);
  if (loaded.exitCode != 0) return endWithout(arguments, loaded.exitCode, loaded.message);
  if (!loaded.message.empty()) printErr("lk24ctl: " + loaded.message);
  const Table& a = loaded.images[0].image;
  const Table& b = loaded.images[1].image;
  const std::vector<SettingDifference> differences = compareSettings(a, b, settingsHalvesOf(a, b));
  if (arguments.json) {
    printOut(jsonDocument(loaded, differences));
  } else {
    printOut("A: " + loaded.images[0].name);
    printOut("B: " + loaded.images[1].name);
    for (const SettingDifference& d : differences) printOut(differenceLine(d));
    printOut(differences.empty() ? std::string("A und B stimmen überein")
                                 : std::to_string(differences.size()) + " Abweichung(en)");
  }
  return loaded.finalCode(differences.empty() ? ExitStatus::Success : ExitStatus::VerifyDifferences);
}

}  // namespace lk24::cli
