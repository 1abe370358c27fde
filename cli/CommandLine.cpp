#include "cli/CommandLine.h"

#include <QRegularExpression>

#include <getopt.h>

#include <array>
#include <string>
#include <vector>

#ifndef LK24_VERSION
#define LK24_VERSION "0"
#endif

namespace lk24::cli {

namespace {

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
    OptionRow{Force, "force", nullptr, "\"read\" ersetzt eine vorhandene Datei (nie die Vorlage)"},
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
    CommandRow{"restore", Command::Restore, kDevice | bit(Record) | bit(BackupDir), true, false, "BACKUP",
               "schreibt eine Sicherung Byte für Byte in das Gerät zurück, von dem sie stammt"},
    CommandRow{"show", Command::Show, kDevice, false, false, "FILE",
               "zeigt jede Einstellung einer Datei oder des Geräts mit der Beschriftung des Fensters", 1},
    CommandRow{"diff", Command::Diff, kDevice, false, false, "A B",
               "nennt die Einstellungen, in denen A und B (oder A und das Gerät) sich unterscheiden", 2},
    CommandRow{"report", Command::Report, kDevice | bit(Output), false, true, "FILE",
               "schreibt den Bericht einer Datei oder des Geräts als PDF zum Drucken", 1},
};

const CommandRow* findCommand(const QString& name) {
  for (const CommandRow& row : kCommands) {
    if (name == QLatin1String(row.name)) return &row;
  }
  return nullptr;
}

const OptionRow* findOption(int id) {
  for (const OptionRow& row : kOptions) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

QString optionName(const OptionRow& row) { return QStringLiteral("--") + QLatin1String(row.longName); }

QString synopsis(const CommandRow& row) {
  QString line = QStringLiteral("lk24ctl ") + QLatin1String(row.name);
  if (row.needsPort) line += QStringLiteral(" --port PORT");
  if (row.needsOutput) line += QStringLiteral(" --output FILE");
  line += QStringLiteral(" [OPTIONEN]");
  if (row.file) line += QLatin1Char(' ') + QLatin1String(row.file);
  // The device stands in for the last file.
  if (row.images == 1) line += QStringLiteral(" | --port PORT");
  if (row.images == 2) line += QStringLiteral(" | A --port PORT");
  return line;
}

QString optionLines(unsigned options) {
  QString text;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    if (!(options & (1u << i))) continue;
    const OptionRow& row = kOptions[i];
    QString left = row.id < 256 ? QStringLiteral("-%1, ").arg(QChar(row.id)) : QStringLiteral("    ");
    left += optionName(row);
    if (row.argument) left += QLatin1Char(' ') + QLatin1String(row.argument);
    text += QStringLiteral("  %1 %2\n").arg(left, -26).arg(QString::fromUtf8(row.help));
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
  QString countText;
  QString typeText;
  QStringList positionals;
};

// getopt_long over args; an error names the argument at fault.
QString collect(const QStringList& args, Collected& c) {
  std::vector<std::string> storage{"lk24ctl"};
  for (const QString& arg : args) storage.push_back(arg.toLocal8Bit().toStdString());
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
    const QString typed = QString::fromLocal8Bit(argv[optind - 1]);
    if (id == ':') {
      const OptionRow* row = findOption(optopt);
      return QStringLiteral("der Option \"%1\" fehlt ihr Wert").arg(row ? optionName(*row) : typed);
    }
    const OptionRow* row = findOption(id);
    if (id == '?' || !row) {
      const OptionRow* known = findOption(optopt);
      if (known && !known->argument) return QStringLiteral("die Option \"%1\" nimmt keinen Wert").arg(optionName(*known));
      return QStringLiteral("unbekannte Option \"%1\"").arg(typed.section(QLatin1Char('='), 0, 0));
    }
    const unsigned mask = bit(row->id);
    if (c.seen & mask) return QStringLiteral("die Option \"%1\" ist doppelt angegeben").arg(optionName(*row));
    c.seen |= mask;
    const QString value = optarg ? QString::fromLocal8Bit(optarg) : QString();
    if (row->argument && value.isEmpty()) return QStringLiteral("der Option \"%1\" fehlt ihr Wert").arg(optionName(*row));
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
  for (int i = optind; i < argc; ++i) c.positionals << QString::fromLocal8Bit(argv[i]);
  return {};
}

// The command's needs and the values' forms.
QString judge(const CommandRow& command, Collected& c) {
  Arguments& r = c.result;
  const QString name = QLatin1String(command.name);
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    if ((c.seen & (1u << i)) && !(command.options & (1u << i))) {
      return name + QStringLiteral(": %1 ist hier nicht möglich").arg(optionName(kOptions[i]));
    }
  }
  if (command.needsPort && r.port.isEmpty()) return name + QStringLiteral(": --port fehlt");
  if (!r.port.isEmpty() && comNumberOf(r.port) == 0 && !isDevicePath(r.port)) {
    return QStringLiteral("Port \"%1\": COM1 bis COM4 oder der Pfad eines Geräts").arg(r.port);
  }
  if (command.needsOutput && r.output.isEmpty()) return name + QStringLiteral(": --output fehlt");
  if (!r.each && (c.seen & (bit(Count) | bit(StopOnFailure)))) {
    return name + QStringLiteral(": --count und --stop-on-failure nur mit --each");
  }
  if (c.seen & bit(Count)) {
    bool ok = false;
    r.count = c.countText.toInt(&ok);
    if (!ok || r.count < 1) return QStringLiteral("--count \"%1\": eine Zahl ab 1").arg(c.countText);
  }
  if (c.seen & bit(ExpectType)) {
    const QString type = c.typeText.toLower();
    if (type == QLatin1String("sender")) {
      r.expectType = ExpectedType::Transmitter;
    } else if (type == QLatin1String("empfaenger") || type == QStringLiteral("empfänger")) {
      r.expectType = ExpectedType::Receiver;
    } else {
      return QStringLiteral("--expect-type \"%1\": sender oder empfaenger").arg(c.typeText);
    }
  }
  const QStringList files = c.positionals.mid(1);
  if (command.images > 0) {
    if (files.size() + (r.port.isEmpty() ? 0 : 1) != command.images) {
      return name + (command.images == 1 ? QStringLiteral(": eine Datei oder --port")
                                         : QStringLiteral(": zwei Dateien, oder eine Datei und --port"));
    }
    r.files = files;
    return {};
  }
  if (command.file && files.size() != 1) {
    return name + (files.isEmpty() ? QStringLiteral(": die Datei fehlt") : QStringLiteral(": nur eine Datei möglich"));
  }
  if (!command.file && !files.isEmpty()) return name + QStringLiteral(": unerwartetes Argument \"%1\"").arg(files.first());
  if (command.file) r.file = files.first();
  return {};
}

}  // namespace

int comNumberOf(const QString& port) {
  static const QRegularExpression com(QStringLiteral("^COM([1-4])$"), QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = com.match(port);
  return match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool isDevicePath(const QString& port) { return port.contains(QLatin1Char('/')); }

ParsedArguments parseArguments(const QStringList& args) {
  Collected c;
  ParsedArguments parsed;
  // An error is a JSON document when --json was asked for, wherever it stood.
  for (const QString& arg : args) {
    if (arg == QLatin1String("--")) break;
    if (arg == QLatin1String("--json")) parsed.json = true;
  }
  auto failure = [&](const QString& error) {
    parsed.error = error;
    return parsed;
  };
  if (const QString error = collect(args, c); !error.isEmpty()) {
    if (!c.positionals.isEmpty() && findCommand(c.positionals.first())) parsed.commandName = c.positionals.first();
    return failure(error);
  }
  Arguments& r = c.result;
  if (c.seen & bit(VersionOption)) {
    r.command = Command::Version;
    parsed.arguments = r;
    return parsed;
  }
  const QString first = c.positionals.value(0);
  if (first == QLatin1String("help") || (c.seen & bit(HelpOption))) {
    r.command = Command::Help;
    r.helpTopic = first == QLatin1String("help") ? c.positionals.value(1) : first;
    if (!r.helpTopic.isEmpty() && !findCommand(r.helpTopic)) {
      return failure(QStringLiteral("unbekannter Befehl \"%1\"").arg(r.helpTopic));
    }
    parsed.arguments = r;
    return parsed;
  }
  if (first.isEmpty()) return failure(QStringLiteral("kein Befehl angegeben"));
  const CommandRow* command = findCommand(first);
  if (!command) return failure(QStringLiteral("unbekannter Befehl \"%1\"").arg(first));
  parsed.commandName = first;
  r.command = command->command;
  r.commandName = first;
  if (const QString error = judge(*command, c); !error.isEmpty()) return failure(error);
  parsed.arguments = r;
  return parsed;
}

QString usageText() {
  QString text = QStringLiteral("Aufruf:\n");
  unsigned all = 0;
  for (const CommandRow& row : kCommands) {
    text += QStringLiteral("  ") + synopsis(row) + QLatin1Char('\n');
    all |= row.options;
  }
  text += QStringLiteral(
      "  lk24ctl help BEFEHL\n"
      "\n"
      "Liest, programmiert und prüft LK24-Geräte über die serielle Schnittstelle,\n"
      "mit demselben Ablauf wie das Fenster.\n\n");
  for (const CommandRow& row : kCommands) {
    text += QStringLiteral("  %1 %2\n").arg(QLatin1String(row.name), -8).arg(QString::fromUtf8(row.summary));
  }
  text += QLatin1Char('\n') + optionLines(all | bit(VersionOption)) + QLatin1Char('\n') +
          QString::fromUtf8(kExitStatusText);
  return text;
}

QString commandHelp(const QString& name) {
  const CommandRow* row = findCommand(name);
  if (!row) return usageText();
  return QStringLiteral("Aufruf: ") + synopsis(*row) + QStringLiteral("\n\n") + QString::fromUtf8(row->summary) +
         QStringLiteral(".\n\n") + optionLines(row->options) + QLatin1Char('\n') + QString::fromUtf8(kExitStatusText);
}

QString toolVersion() { return QStringLiteral(LK24_VERSION); }

QString versionText() { return QStringLiteral("lk24ctl %1 (LK24 -config-)\n").arg(toolVersion()); }

}  // namespace lk24::cli
