#include "cli/args/CommandLine.h"

#include "cli/output/Text.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <string>
#include <vector>

#ifndef LK24_VERSION
#define LK24_VERSION "0"
#endif

namespace lk24::cli {

namespace {

// The window's menu has COM1 to COM4, and so has Linux; Windows names every
// port COMn, COM10 and higher too.
#ifdef _WIN32
constexpr int kHighestComNumber = 255;
constexpr const char* kPortChoices = "COM1 bis COM255 oder der Pfad eines Geräts";
#else
constexpr int kHighestComNumber = 4;
constexpr const char* kPortChoices = "COM1 bis COM4 oder der Pfad eines Geräts";
#endif

// Every option once; a command names the ones it takes by their bits.
enum Option : int {
  Port = 'p',
  Output = 'o',
  Quiet = 'q',
  HelpOption = 'h',
  Template = 256,
  Json,
  Each,
  Record,
  BackupDir,
  ExpectType,
  Count,
  StopOnFailure,
  Force,
  VersionOption,
};

struct OptionRow {
  Option id;
  const char* longName;
  const char* argument;  // nullptr: a flag
  const char* help;
};

constexpr std::array kOptions = {
    OptionRow{Port, "port", "PORT", "COM1 bis COM4 (wie im Fenster) oder der Pfad eines Geräts"},
    OptionRow{Output, "output", "FILE", "die Datei, die \"read\" (Konfiguration) oder \"report\" (PDF) schreibt"},
    OptionRow{Force, "force", nullptr, "\"read\" und \"report\" ersetzen eine vorhandene Datei (nie die Vorlage), \"restore\" schreibt eine Sicherung mit falscher Prüfsumme"},
    OptionRow{Template, "template", "FILE", "die Vorlage (LK24.ini im aktuellen Verzeichnis, sonst die installierte)"},
    OptionRow{Each, "each", nullptr, "programmiert ein Gerät nach dem anderen, bis Strg+C"},
    OptionRow{Record, "record", "FILE", "hängt je Gerät eine Zeile an dieses CSV-Protokoll an"},
    OptionRow{BackupDir, "backup-dir", "DIR", "der Ordner für die Sicherungen (Sicherungen/ neben der Vorlage)"},
    OptionRow{ExpectType, "expect-type", "TYP", "sender oder empfaenger: ein Gerät des anderen Typs wird verweigert"},
    OptionRow{Count, "count", "N", "mit --each: endet nach N Geräten"},
    OptionRow{StopOnFailure, "stop-on-failure", nullptr, "mit --each: endet nach dem ersten fehlerhaften Gerät"},
    OptionRow{Json, "json", nullptr, "genau ein JSON-Dokument auf stdout (mit --each eine Zeile je Gerät)"},
    OptionRow{Quiet, "quiet", nullptr, "nur Ergebnisse und Fehler, keine Protokollzeilen"},
    OptionRow{HelpOption, "help", nullptr, "dieser Text"},
    OptionRow{VersionOption, "version", nullptr, "die Version"},
};

constexpr unsigned bit(Option option) {
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    if (kOptions[i].id == option) return 1u << i;
  }
  return 0;
}

// Every command takes these.
constexpr unsigned kCommon = bit(Json) | bit(Quiet) | bit(HelpOption);
constexpr unsigned kDevice = kCommon | bit(Port) | bit(Template);

struct CommandRow {
  const char* name;
  Command command;
  unsigned options;
  bool needsPort;
  bool needsOutput;
  const char* file;  // the FILE argument it requires, or nullptr
  const char* summary;
  // show, diff, report: how many images the FILEs and --port give together;
  // 0 for the commands whose port and file are fixed.
  int images = 0;
};

constexpr std::array kCommands = {
    CommandRow{"ports", Command::Ports, kCommon, false, false, nullptr,
               "zeigt COM1 bis COM4 und jede serielle Schnittstelle mit ihrem Zustand"},
    CommandRow{"info", Command::Info, kDevice, true, false, nullptr,
               "liest das Gerät und zeigt Typ, Seriennummer, Firmware, Schreibschutz und Prüfsumme"},
    CommandRow{"read", Command::Read, kDevice | bit(Output) | bit(Force) | bit(Record), true, true, nullptr,
               "liest das Gerät und schreibt die Konfigurationsdatei wie \"Speichern\" nach \"Auslesen\""},
    CommandRow{"program", Command::Program,
               kDevice | bit(Each) | bit(Record) | bit(BackupDir) | bit(ExpectType) | bit(Count) | bit(StopOnFailure),
               true, false, "FILE",
               "sichert das Gerät, programmiert FILE hinein und prüft es durch Zurücklesen"},
    CommandRow{"verify", Command::Verify, kDevice | bit(Record), true, false, "FILE",
               "vergleicht das Gerät mit dem, was \"program\" aus FILE schreiben würde"},
    CommandRow{"restore", Command::Restore, kDevice | bit(Record) | bit(BackupDir) | bit(Force), true, false, "BACKUP",
               "schreibt eine Sicherung Byte für Byte in das Gerät zurück, von dem sie stammt"},
    CommandRow{"show", Command::Show, kDevice, false, false, "FILE",
               "zeigt jede Einstellung einer Datei oder des Geräts mit der Beschriftung des Fensters", 1},
    CommandRow{"diff", Command::Diff, kDevice, false, false, "A B",
               "nennt die Einstellungen, in denen A und B (oder A und das Gerät) sich unterscheiden", 2},
    CommandRow{"report", Command::Report, kDevice | bit(Output) | bit(Force), false, true, "FILE",
               "schreibt den Bericht einer Datei oder des Geräts als PDF zum Drucken", 1},
};

const CommandRow* findCommand(const std::string& name) {
  for (const CommandRow& row : kCommands) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

const OptionRow* findOption(int id) {
  for (const OptionRow& row : kOptions) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

std::string optionName(const OptionRow& row) { return std::string("--") + row.longName; }

std::string synopsis(const CommandRow& row) {
  std::string line = std::string("lk24ctl ") + row.name;
  if (row.needsPort) line += " --port PORT";
  if (row.needsOutput) line += " --output FILE";
  line += " [OPTIONEN]";
  if (row.file) line += std::string(" ") + row.file;
  // The device stands in for the last file.
  if (row.images == 1) line += " | --port PORT";
  if (row.images == 2) line += " | A --port PORT";
  return line;
}

std::string optionLines(unsigned options) {
  std::string text;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    if (!(options & (1u << i))) continue;
    const OptionRow& row = kOptions[i];
    std::string left = row.id < 256 ? std::string("-") + char(row.id) + ", " : std::string("    ");
    left += optionName(row);
    if (row.argument) left += std::string(" ") + row.argument;
    text += "  " + padded(left, -26) + " " + row.help + "\n";
  }
  return text;
}

const char* const kExitStatusText =
    "Exit-Status: 0 Erfolg, 1 Aufruf falsch, 2 Vorlage, Datei oder Protokoll unbrauchbar,\n"
    "3 Port nicht zu öffnen, 4 Übertragungsfehler, 5 Verify oder diff mit Abweichungen,\n"
    "6 Gerät verweigert (Schreibschutz, Firmware, Typ), 7 EEPROM-Prüfsumme falsch,\n"
    "128+n durch Signal n abgebrochen.\n";

// What the parser collected before it judges the command's needs.
struct Collected {
  Arguments result;
  unsigned seen = 0;
  std::string countText;
  std::string typeText;
  std::vector<std::string> positionals;
};

// getopt_long over args; an error names the argument at fault.
std::string collect(const std::vector<std::string>& args, Collected& c) {
  std::vector<std::string> storage{"lk24ctl"};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::vector<option> longOptions;
  for (const OptionRow& row : kOptions) {
    longOptions.push_back({row.longName, row.argument ? required_argument : no_argument, nullptr, row.id});
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  const int argc = static_cast<int>(storage.size());
  optind = 0;  // a fresh scan, also when parsed before
  opterr = 0;
  int id = 0;
  while ((id = ::getopt_long(argc, argv.data(), ":p:o:qh", longOptions.data(), nullptr)) != -1) {
    const std::string typed = argv[optind - 1];
    if (id == ':') {
      const OptionRow* row = findOption(optopt);
      return "der Option \"" + (row ? optionName(*row) : typed) + "\" fehlt ihr Wert";
    }
    const OptionRow* row = findOption(id);
    if (id == '?' || !row) {
      const OptionRow* known = findOption(optopt);
      if (known && !known->argument) return "die Option \"" + optionName(*known) + "\" nimmt keinen Wert";
      return "unbekannte Option \"" + beforeFirst(typed, '=') + "\"";
    }
    const unsigned mask = bit(row->id);
    if (c.seen & mask) return "die Option \"" + optionName(*row) + "\" ist doppelt angegeben";
    c.seen |= mask;
    const std::string value = optarg ? optarg : "";
    if (row->argument && value.empty()) return "der Option \"" + optionName(*row) + "\" fehlt ihr Wert";
    Arguments& r = c.result;
    switch (row->id) {
      case Port: r.port = value; break;
      case Output: r.output = value; break;
      case Template: r.templatePath = value; r.templateGiven = true; break;
      case Json: r.json = true; break;
      case Quiet: r.quiet = true; break;
      case Each: r.each = true; break;
      case Record: r.record = value; break;
      case BackupDir: r.backupDir = value; break;
      case ExpectType: c.typeText = value; break;
      case Count: c.countText = value; break;
      case StopOnFailure: r.stopOnFailure = true; break;
      case Force: r.force = true; break;
      case HelpOption:
      case VersionOption: break;
    }
  }
  for (int i = optind; i < argc; ++i) c.positionals.push_back(argv[i]);
  return {};
}

// A whole number, with white space around it and a sign allowed.
std::optional<int> wholeNumber(const std::string& text) {
  std::string digits = trimmed(text);
  if (!digits.empty() && digits.front() == '+') digits.erase(0, 1);
  int value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, failure] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || failure != std::errc() || stop != end) return std::nullopt;
  return value;
}

// Lower case for ASCII and the Latin-1 capitals ("EMPFÄNGER").
std::string lowerCase(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(text[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c == 0xC3 && i + 1 < text.size()) {
      auto& next = reinterpret_cast<unsigned char&>(text[++i]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) next += 0x20;
    }
  }
  return text;
}

// The command's needs and the values' forms.
std::string judge(const CommandRow& command, Collected& c) {
  Arguments& r = c.result;
  const std::string name = command.name;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    if ((c.seen & (1u << i)) && !(command.options & (1u << i))) {
      return name + ": " + optionName(kOptions[i]) + " ist hier nicht möglich";
    }
  }
  if (command.needsPort && r.port.empty()) return name + ": --port fehlt";
  if (!r.port.empty() && comNumberOf(r.port) == 0 && !isDevicePath(r.port)) {
    return "Port \"" + r.port + "\": " + kPortChoices;
  }
  if (command.needsOutput && r.output.empty()) return name + ": --output fehlt";
  if (!r.each && (c.seen & (bit(Count) | bit(StopOnFailure)))) {
    return name + ": --count und --stop-on-failure nur mit --each";
  }
  if (c.seen & bit(Count)) {
    const std::optional<int> count = wholeNumber(c.countText);
    r.count = count.value_or(0);
    if (!count || r.count < 1) return "--count \"" + c.countText + "\": eine Zahl ab 1";
  }
  if (c.seen & bit(ExpectType)) {
    const std::string type = lowerCase(c.typeText);
    if (type == "sender") {
      r.expectType = ExpectedType::Transmitter;
    } else if (type == "empfaenger" || type == "empfänger") {
      r.expectType = ExpectedType::Receiver;
    } else {
      return "--expect-type \"" + c.typeText + "\": sender oder empfaenger";
    }
  }
  const std::vector<std::string> files(c.positionals.begin() + std::min<std::size_t>(1, c.positionals.size()),
                                       c.positionals.end());
  if (command.images > 0) {
    if (static_cast<int>(files.size()) + (r.port.empty() ? 0 : 1) != command.images) {
      return name + (command.images == 1 ? ": eine Datei oder --port" : ": zwei Dateien, oder eine Datei und --port");
    }
    r.files = files;
    return {};
  }
  if (command.file && files.size() != 1) {
    return name + (files.empty() ? ": die Datei fehlt" : ": nur eine Datei möglich");
  }
  if (!command.file && !files.empty()) return name + ": unerwartetes Argument \"" + files.front() + "\"";
  if (command.file) r.file = files.front();
  return {};
}

}  // namespace

int comNumberOf(const std::string& port) {
  if (port.size() < 4 || port.size() > 6 || lowerCase(port.substr(0, 3)) != "com") return 0;
  int number = 0;
  for (char c : port.substr(3)) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && number <= kHighestComNumber && port[3] != '0' ? number : 0;
}

bool isDevicePath(const std::string& port) { return port.find('/') != std::string::npos; }

ParsedArguments parseArguments(const std::vector<std::string>& args) {
  Collected c;
  ParsedArguments parsed;
  // An error is a JSON document when --json was asked for, wherever it stood.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--json") parsed.json = true;
  }
  auto failure = [&](const std::string& error) {
    parsed.error = error;
    return parsed;
  };
  if (const std::string error = collect(args, c); !error.empty()) {
    if (!c.positionals.empty() && findCommand(c.positionals.front())) parsed.commandName = c.positionals.front();
    return failure(error);
  }
  Arguments& r = c.result;
  if (c.seen & bit(VersionOption)) {
    r.command = Command::Version;
    parsed.arguments = r;
    return parsed;
  }
  const auto positional = [&](std::size_t i) { return i < c.positionals.size() ? c.positionals[i] : std::string(); };
  const std::string first = positional(0);
  if (first == "help" || (c.seen & bit(HelpOption))) {
    r.command = Command::Help;
    r.helpTopic = first == "help" ? positional(1) : first;
    if (!r.helpTopic.empty() && !findCommand(r.helpTopic)) {
      return failure("unbekannter Befehl \"" + r.helpTopic + "\"");
    }
    if (first == "help" && c.positionals.size() > 2) return failure("zu viele Argumente: \"" + positional(2) + "\"");
    parsed.arguments = r;
    return parsed;
  }
  if (first.empty()) return failure("kein Befehl angegeben");
  const CommandRow* command = findCommand(first);
  if (!command) return failure("unbekannter Befehl \"" + first + "\"");
  parsed.commandName = first;
  r.command = command->command;
  r.commandName = first;
  if (const std::string error = judge(*command, c); !error.empty()) return failure(error);
  // show, diff and report read the template only for a device.
  if (command->images > 0 && r.templateGiven && r.port.empty()) {
    return failure("--template gilt nur mit --port: ohne Gerät wird keine Vorlage gelesen");
  }
  parsed.arguments = r;
  return parsed;
}

std::string commandName(Command command) {
  for (const CommandRow& row : kCommands) {
    if (row.command == command) return row.name;
  }
  return {};
}

std::vector<std::string> commandNames() {
  std::vector<std::string> names;
  for (const CommandRow& row : kCommands) names.emplace_back(row.name);
  return names;
}

std::string usageText() {
  std::string text = "Aufruf:\n";
  unsigned all = 0;
  for (const CommandRow& row : kCommands) {
    text += "  " + synopsis(row) + "\n";
    all |= row.options;
  }
  text +=
      "  lk24ctl help BEFEHL\n"
      "\n"
      "Liest, programmiert und prüft LK24-Geräte über die serielle Schnittstelle,\n"
      "mit demselben Ablauf wie das Fenster.\n\n";
  for (const CommandRow& row : kCommands) {
    text += "  " + padded(row.name, -8) + " " + row.summary + "\n";
  }
  text += '\n';
  text += optionLines(all | bit(VersionOption));
  text += '\n';
  text += kExitStatusText;
  return text;
}

std::string commandHelp(const std::string& name) {
  const CommandRow* row = findCommand(name);
  if (!row) return usageText();
  return "Aufruf: " + synopsis(*row) + "\n\n" + row->summary + ".\n\n" + optionLines(row->options) + "\n" +
         kExitStatusText;
}

std::string toolVersion() { return LK24_VERSION; }

std::string versionText() { return "lk24ctl " + toolVersion() + " (LK24 -config-)\n"; }

}  // namespace lk24::cli
