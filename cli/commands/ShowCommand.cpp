// lk24ctl show: every setting of a file or a device in the window's order.
#include "cli/commands/SettingsCommands.h"

#include "cli/args/CommandLine.h"
#include "cli/output/Json.h"
#include "cli/output/Output.h"
#include "cli/session/Report.h"
#include "cli/session/SettingsImages.h"
#include "cli/output/Text.h"
#include "editor/DeviceIdentity.h"

namespace lk24::cli {

namespace {

std::string serialNumberText(const DeviceFacts& facts) {
  return facts.serialNumber >= 0 ? zeroPadded(facts.serialNumber, 5) : "-";
}

void printText(const Table& image, const std::vector<SettingText>& settings) {
  const DeviceFacts facts = factsOf(image);
  printOut("Gerät:         " + typeName(facts));
  printOut("Seriennummer:  " + serialNumberText(facts));
  printOut("Firmware:      " + facts.firmware);
  std::string page;
  for (const SettingText& s : settings) {
    if (s.page != page) {
      page = s.page;
      printOut({});
      printOut(page);
    }
    const std::string value = s.unit.empty() ? s.value : s.value + " " + s.unit;
    printOut("  " + padded(s.caption, -44) + " " + padded(value, -30) + " " + s.addresses);
  }
}

std::string jsonDocument(const NamedImage& source, const std::vector<SettingText>& settings) {
  const DeviceFacts facts = factsOf(source.image);
  json::Array rows;
  for (const SettingText& s : settings) {
    rows.push_back(json::Object{
        {"page", s.page}, {"caption", s.caption}, {"value", s.value}, {"unit", s.unit}, {"addresses", s.addresses}});
  }
  return json::compact(json::Object{
      {"schema", kJsonSchema},
      {"tool", toolVersion()},
      {"command", "show"},
      {"source", source.name},
      {"device",
       json::Object{{"type", typeName(facts)},
                    {"serialNumber", facts.serialNumber >= 0 ? json::Value(facts.serialNumber) : json::Value()},
                    {"firmware", facts.firmware}}},
      {"settings", rows},
  });
}

}  // namespace

int runShow(const Arguments& arguments, const InterruptWatch* interrupts) {
  const SettingsImages loaded = loadSettingsImages(arguments, interrupts);
  if (loaded.exitCode != 0) return endWithout(arguments, loaded.exitCode, loaded.message);
  if (!loaded.message.empty()) printErr("lk24ctl: " + loaded.message);
  const NamedImage& source = loaded.images.front();
  const std::vector<SettingText> settings = describeSettings(source.image, settingsHalvesOf(source.image));
  if (arguments.json) {
    printOut(jsonDocument(source, settings));
  } else {
    printText(source.image, settings);
  }
  return loaded.finalCode(ExitStatus::Success);
}

}  // namespace lk24::cli
