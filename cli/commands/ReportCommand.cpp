// lk24ctl report: the printable report of a file or a device as a PDF.
#include "cli/commands/SettingsCommands.h"

#include "cli/args/CommandLine.h"
#include "cli/args/OutputGuard.h"
#include "cli/args/Places.h"
#include "cli/output/Json.h"
#include "cli/output/Output.h"
#include "cli/commands/ReportModuleLoader.h"
#include "cli/session/SettingsImages.h"

namespace lk24::cli {

namespace {

ReportWriter& writer() {
  static ReportWriter installed;
  return installed;
}

// The PDF never goes over the template, over a file it reports on or over
// anything but a plain file; an existing one only with --force.
std::string outputRefusal(const Arguments& arguments) {
  std::vector<KeptFile> kept{{chooseTemplate(arguments.templatePath, arguments.templateGiven).path, "die Vorlage"}};
  for (const std::string& file : arguments.files) kept.push_back({file, "die Eingabe"});
  return writeRefusal(arguments.output, kept, WriteKind::Replace, arguments.force);
}

}  // namespace

void setReportWriter(ReportWriter w) { writer() = std::move(w); }

int runReport(const Arguments& arguments, const InterruptWatch* interrupts) {
  if (const std::string refusal = outputRefusal(arguments); !refusal.empty()) {
    return endWithout(arguments, code(ExitStatus::FileUnusable), refusal);
  }
  // Loaded first, so that no device is read for a report that cannot be written.
  if (!writer()) {
    std::string why;
    writer() = loadReportModule(&why);
    if (!writer()) return endWithout(arguments, code(ExitStatus::FileUnusable), why);
  }
  const SettingsImages loaded = loadSettingsImages(arguments, interrupts);
  if (loaded.exitCode != 0) return endWithout(arguments, loaded.exitCode, loaded.message);
  if (!loaded.message.empty()) printErr("lk24ctl: " + loaded.message);
  const NamedImage& source = loaded.images.front();
  std::string error;
  if (!writer()(source.image, source.name, arguments.output, &error)) {
    return endWithout(arguments, code(ExitStatus::FileUnusable), error);
  }
  if (arguments.json) {
    printOut(json::compact(json::Object{{"schema", kJsonSchema},
                                        {"tool", toolVersion()},
                                        {"command", "report"},
                                        {"source", source.name},
                                        {"outputFile", arguments.output}}));
  } else {
    printOut("Bericht gespeichert unter \"" + arguments.output + "\"");
  }
  return loaded.finalCode(ExitStatus::Success);
}

}  // namespace lk24::cli
