#include "cli/commands/Commands.h"

#include "cli/session/CommandView.h"
#include "cli/session/DeviceSession.h"
#include "cli/args/Inputs.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/session/Outcome.h"
#include "cli/args/OutputGuard.h"
#include "cli/output/Output.h"
#include "cli/args/PortChoice.h"
#include "cli/session/ProductionLoop.h"
#include "cli/session/ProgramImage.h"
#include "cli/session/ProgramRun.h"
#include "cli/args/Places.h"
#include "cli/session/PortList.h"
#include "cli/session/PresenceProbe.h"
#include "cli/output/ProgressLine.h"
#include "cli/session/Report.h"
#include "cli/session/RestoreRun.h"
#include "cli/session/RunRecord.h"
#include "cli/output/Sha256.h"
#include "cli/commands/SettingsCommands.h"
#include "cli/platform/Stopwatch.h"
#include "cli/output/Text.h"
#include "cli/session/Verdict.h"
#include "editor/FieldMap.h"
#include "editor/DeviceIdentity.h"
#include "model/TemplateFormat.h"


#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace lk24::cli {

namespace {

// Everything a device command needs before it opens the port.
struct Prepared {
  ConfigImage image;
  TemplateTables tables;
  std::optional<Table> file;
  std::string fileSha256;  // of FILE as loaded: the run programs that, whatever the disk holds later
  PortChoice port;
  std::string backupFolder;
};

bool progressWanted(const Arguments& arguments) {
  const char* term = std::getenv("TERM");
  return !arguments.quiet && stderrIsTerminal() && !(term && std::strcmp(term, "dumb") == 0);
}

class CommandRunner {
 public:
  CommandRunner(const Arguments& arguments, const InterruptWatch* interrupts)
      : args_(arguments),
        interrupts_(interrupts),
        progress_(progressWanted(arguments)),
        view_(prepared_.image, &progress_, echoFunction()) {
    report_.command = commandName(args_.command);
    report_.portGiven = args_.port;
    if (args_.templateGiven) report_.templateGiven = args_.templatePath;
  }

  int run() {
    if (args_.command == Command::Ports) return ports();
    if (!prepare()) return finish();
    if (args_.command == Command::Program && args_.each) return productionLoop();
    // The commands that talk to a device, each by its own step.
    using Step = void (CommandRunner::*)();
    static constexpr std::pair<Command, Step> kSteps[] = {{Command::Info, &CommandRunner::info},
                                                          {Command::Read, &CommandRunner::read},
                                                          {Command::Program, &CommandRunner::program},
                                                          {Command::Verify, &CommandRunner::verify},
                                                          {Command::Restore, &CommandRunner::restore}};
    for (const auto& [command, step] : kSteps) {
      if (command == args_.command) (this->*step)();
    }
    return finish();
  }

 private:
  // The log's red lines are the cause, which the end prints once on stderr.
  std::function<void(const LogLine&)> echoFunction() {
    if (args_.quiet) return {};
    return [](const LogLine& line) {
      if (!line.red) printErr(trimmed(line.text));
    };
  }

  void notice(const std::string& text) const {
    if (!args_.quiet && !text.empty()) printErr("lk24ctl: " + text);
  }

  bool fail(ExitStatus status, const std::string& message) {
    report_.status = status;
    report_.message = message;
    return false;
  }

  // The output and the record: neither may be the template, the file read or
  // each other, and only plain files are written.
  bool refuseTargets(const std::string& recordPath) {
    const KeptFile templateFile{prepared_.tables.path, "die Vorlage"};
    const KeptFile input{args_.file, "die Eingabe"};
    std::string refusal;
    if (!args_.output.empty()) {
      refusal = writeRefusal(args_.output, {templateFile, input, {recordPath, "das Protokoll"}}, WriteKind::Replace,
                             args_.force);
    }
    if (refusal.empty() && !recordPath.empty()) {
      refusal = writeRefusal(recordPath, {templateFile, input, {args_.output, "die Ausgabe"}}, WriteKind::Append, false);
    }
    return refusal.empty() || fail(ExitStatus::FileUnusable, refusal);
  }

  // A backup that is not a device's image as read goes back only with --force, and then says why.
  bool acceptBackup() {
    const std::string mismatch = backupMismatch(args_.file, *prepared_.file);
    if (mismatch.empty()) return true;
    if (!args_.force) return fail(ExitStatus::FileUnusable, mismatch + "; --force schreibt sie trotzdem");
    printErr("lk24ctl: " + mismatch + "; mit --force trotzdem geschrieben");
    return true;
  }

  // Template, file and record first: a bad one must not send a byte.
  bool prepare() {
    std::string error;
    const Place templatePlace = chooseTemplate(args_.templatePath, args_.templateGiven);
    notice(templatePlace.notice);
    const auto tables = loadTemplate(templatePlace.path, prepared_.image, &error);
    if (!tables) return fail(ExitStatus::FileUnusable, error);
    prepared_.tables = *tables;
    if (!args_.file.empty()) {
      prepared_.file = loadConfiguration(args_.file, &error);
      if (!prepared_.file) return fail(ExitStatus::FileUnusable, error);
      prepared_.fileSha256 = sha256OfFile(args_.file);
      if (args_.command == Command::Restore && !acceptBackup()) return false;
    }
    std::string recordPath = args_.record;
    if (recordPath.empty() && args_.each) {
      recordPath = chooseLoopRecord(prepared_.tables.path).path;
      if (!args_.quiet) printErr("lk24ctl: Protokoll \"" + recordPath + "\"");
    }
    if (!refuseTargets(recordPath)) return false;
    if (!recordPath.empty() && !record_.open(recordPath, &error)) return fail(ExitStatus::FileUnusable, error);
    if (args_.command == Command::Program || args_.command == Command::Restore) {
      const Place backups = chooseBackupFolder(args_.backupDir, prepared_.tables.path);
      notice(backups.notice);
      prepared_.backupFolder = backups.path;
    }
    prepared_.port = choosePort(args_.port, prepared_.tables.port);
    report_.portDevice = prepared_.port.device;
    report_.portNumber = prepared_.port.number;
    return true;
  }

  int productionLoop() {
    LoopSettings settings;
    settings.file = *prepared_.file;
    settings.filePath = args_.file;
    settings.fileSha256 = prepared_.fileSha256;
    if (args_.templateGiven) settings.templateGiven = args_.templatePath;
    settings.port = prepared_.port;
    settings.backupFolder = prepared_.backupFolder;
    settings.json = args_.json;
    settings.quiet = args_.quiet;
    settings.expectType = args_.expectType;
    settings.count = args_.count;
    settings.stopOnFailure = args_.stopOnFailure;
    return runProductionLoop(prepared_.image, settings, record_, interrupts_, progress_);
  }

  std::unique_ptr<DeviceSession> openSession() {
    return std::make_unique<DeviceSession>(prepared_.image, view_, prepared_.port.number, interrupts_,
                                           prepared_.backupFolder);
  }

  // After a read pass: the status, the device and the cause of a failure.
  bool judgeRead(const DeviceSession& session, bool finished) {
    report_.log = view_.log();
    if (!finished) return interrupted();
    if (view_.result() && view_.result()->deviceImage) report_.device = factsOf(*view_.result()->deviceImage);
    const ExitStatus status = transferOutcome(view_, session);
    if (status == ExitStatus::Success) return true;
    fail(status, causeOf(view_, session, prepared_.port));
    return status == ExitStatus::ChecksumWrong;  // the image is there all the same
  }

  bool interrupted() {
    report_.interruptedBy = interrupts_ ? interrupts_->signalNumber() : 0;
    report_.message = "abgebrochen, der Port ist geschlossen";
    return false;
  }

  void info() {
    auto session = openSession();
    const bool finished = session->read();
    judgeRead(*session, finished);
    if (!args_.json && report_.device) printFacts(*report_.device);
  }

  void printFacts(const DeviceFacts& facts) {
    printOut("Gerät:            " + typeName(facts));
    printOut("Seriennummer:     " + (facts.serialNumber >= 0 ? zeroPadded(facts.serialNumber, 5) : "-"));
    printOut("Firmware:         " + facts.firmware + (facts.firmwareFits ? " (passt)" : " (passt nicht zur Software)"));
    printOut(std::string("Schreibschutz:    ") + (facts.writeProtected ? "ja" : "nein"));
    printOut(std::string("EEPROM-Prüfsumme: ") + (facts.checksumRight ? "richtig" : "falsch"));
  }

  void read() {
    auto session = openSession();
    const bool finished = session->read();
    if (!judgeRead(*session, finished)) return;
    // "Speichern" after "Auslesen": the firmware lines as the displays show
    // them now, then the merge and the 1040 lines.
    ConfigImage& image = prepared_.image;
    DeviceLink& link = session->link();
    const std::string transmitterFirmware =
        firmwareDisplayText("PSender", image.DeviceImage, link.TransmitterDetected());
    const std::string receiverFirmware = firmwareDisplayText("Pempfang", image.DeviceImage, link.ReceiverDetected());
    const LineList lines = BuildFile(image, prepared_.port.fileNumber, transmitterFirmware, receiverFirmware);
    if (const FileWriteStatus status = lines.saveToFile(args_.output); status != FileWriteStatus::Ok) {
      // The cause tells the user what to free, allow or rename.
      const std::string failure = " Fehler bei \"Datei speichern!\": \"" + args_.output + "\" " + fileWriteProblem(status);
      view_.addEntry(failure, true);
      report_.log = view_.log();
      fail(ExitStatus::FileUnusable, trimmed(failure));
      return;
    }
    view_.addEntry(" file gespeichert unter \"" + args_.output + "\"", false);
    report_.log = view_.log();
    report_.outputFile = args_.output;
  }

  void program() {
    if (args_.expectType != ExpectedType::Any) {
      const ProbeAnswer answer = probeDevice(prepared_.port.number);
      const std::string refusal =
          answer.kind == ProbeAnswer::Answered ? typeRefusal(args_.expectType, answer.typeCode) : std::string();
      if (!refusal.empty()) {
        refuseType(report_, refusal, answer.typeCode, answer.serial);
        verdictDue_ = true;
        return;
      }
    }
    programDevice(prepared_.image, *prepared_.file, prepared_.port, prepared_.backupFolder, interrupts_, view_,
                  report_);
    verdictDue_ = true;
  }

  void restore() {
    restoreDevice(prepared_.image, *prepared_.file, prepared_.port, prepared_.backupFolder, interrupts_, view_,
                  report_);
    verdictDue_ = true;
  }

  void verify() {
    const Table requested = requestedImage(prepared_.image, *prepared_.file);
    auto session = openSession();
    // A wrong checksum is no reason not to compare: byte 239 will differ.
    if (!judgeRead(*session, session->read())) return;
    const Table& device = prepared_.image.ReadBuffer;
    // Every byte a program run writes, as the program run's own verify
    // checks it; the bytes above are never written, so they are the device's.
    Table expected = imageToProgram(requested, device);
    for (int a = addr::kLastWritten + 1; a < kImageSize; ++a) expected[a] = device[a];
    for (int a = 0; a < kImageSize; ++a) {
      if (expected[a] != device[a]) report_.differences.push_back({a, expected[a], device[a]});
    }
    // Named by the settings that show them: "Alarm nach: 600 | 900", a byte no setting shows "Byte 245".
    std::vector<std::string> names;
    for (const SettingDifference& d : compareSettings(expected, device, settingsHalvesOf(device))) {
      names.push_back(d.caption);
      if (!args_.json) printOut(differenceLine(d));
    }
    if (names.empty()) {
      report_.status = ExitStatus::Success;
      report_.message.clear();
      if (!args_.json) printOut("Gerät und Datei stimmen überein");
    } else {
      fail(ExitStatus::VerifyDifferences, "! FEHLER Verify !: abweichend: " + join(names, ", "));
    }
  }

  int ports() {
    const PortListing listing = listPorts();
    if (args_.json) {
      printOut(portsJson(listing));
    } else {
      for (const std::string& line : portsText(listing)) printOut(line);
    }
    return code(ExitStatus::Success);
  }

  // The file a row names: the one written, else the one programmed or compared.
  std::string recordedFile() const { return args_.command == Command::Read ? report_.outputFile : args_.file; }
  std::string recordedSha256() const {
    if (args_.command != Command::Read) return prepared_.fileSha256;
    return report_.outputFile.empty() ? std::string() : sha256OfFile(report_.outputFile);
  }

  void recordRun() {
    if (!record_.isOpen()) return;
    std::string error;
    if (!record_.append(recordRowOf(report_, recordedFile(), recordedSha256(), clock_.seconds()), &error)) {
      if (report_.exitCode() == 0) {
        fail(ExitStatus::FileUnusable, error);
      } else {
        printErr("lk24ctl: " + error);
      }
    }
  }

  int finish() {
    progress_.clear();
    recordRun();  // first: a row that could not be written turns the verdict
    if (verdictDue_ && !args_.json) printVerdict(report_);
    if (args_.json) printOut(toJson(report_));
    if (!report_.message.empty()) printErr("lk24ctl: " + report_.message);
    return report_.exitCode();
  }

  const Arguments& args_;
  const InterruptWatch* interrupts_;
  Prepared prepared_;
  ProgressLine progress_;
  CommandView view_;
  Report report_;
  RunRecord record_;
  Stopwatch clock_;
  bool verdictDue_ = false;  // program and restore end with the device's verdict line
};

}  // namespace

int runCommand(const Arguments& arguments, const InterruptWatch* interrupts) {
  switch (arguments.command) {
    case Command::Help:
      std::fputs((arguments.helpTopic.empty() ? usageText() : commandHelp(arguments.helpTopic)).c_str(), stdout);
      return code(ExitStatus::Success);
    case Command::Version:
      std::fputs(versionText().c_str(), stdout);
      return code(ExitStatus::Success);
    case Command::Show:
      return runShow(arguments, interrupts);
    case Command::Diff:
      return runDiff(arguments, interrupts);
    case Command::Report:
      return runReport(arguments, interrupts);
    default:
      break;
  }
  CommandRunner runner(arguments, interrupts);
  return runner.run();
}

}  // namespace lk24::cli
