#include "cli/CommandLine.h"

#include <QRegularExpression>

#include <array>

namespace lk24::cli {

namespace {

struct CommandRow {
  const char* name;
  Command command;
  bool needsPort;
  bool takesFile;  // FILE is required
  bool takesOutput;
  bool takesEach;
  // show, diff, report: how many images FILEs and --port give together; 0
  // for the commands above, whose port and file are fixed.
  int images;
};

constexpr std::array kCommands = {
    CommandRow{"ports", Command::Ports, false, false, false, false, 0},
    CommandRow{"info", Command::Info, true, false, false, false, 0},
    CommandRow{"read", Command::Read, true, false, true, false, 0},
    CommandRow{"program", Command::Program, true, true, false, true, 0},
    CommandRow{"verify", Command::Verify, true, true, false, false, 0},
    CommandRow{"show", Command::Show, false, false, false, false, 1},
    CommandRow{"diff", Command::Diff, false, false, false, false, 2},
    CommandRow{"report", Command::Report, false, false, true, false, 1},
    CommandRow{"restore", Command::Restore, true, true, false, false, 0},
};

const CommandRow* findCommand(const QString& name) {
  for (const CommandRow& row : kCommands) {
    if (name == QLatin1String(row.name)) return &row;
  }
  return nullptr;
}

ParsedArguments failure(const QString& error) { return {std::nullopt, error}; }

}  // namespace

int comNumberOf(const QString& port) {
  static const QRegularExpression com(QStringLiteral("^COM([1-4])$"), QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = com.match(port);
  return match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool isDevicePath(const QString& port) { return port.contains(QLatin1Char('/')); }

ParsedArguments parseArguments(const QStringList& args) {
  Arguments result;
  const CommandRow* command = nullptr;
  bool portGiven = false;
  bool outputGiven = false;
  QStringList files;

  for (int i = 0; i < args.size(); ++i) {
    QString arg = args[i];
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      result.command = Command::Help;
      return {result, {}};
    }
    if (arg == QLatin1String("--version")) {
      result.command = Command::Version;
      return {result, {}};
    }
    // "--name=value" is the same as "--name value".
    std::optional<QString> inlineValue;
    if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
      const int eq = arg.indexOf(QLatin1Char('='));
      inlineValue = arg.mid(eq + 1);
      arg = arg.left(eq);
    }
    auto value = [&](QString& target) -> bool {
      if (inlineValue) {
        target = *inlineValue;
      } else if (i + 1 < args.size()) {
        target = args[++i];
      } else {
        return false;
      }
      return !target.isEmpty();
    };
    auto flag = [&](bool& target) -> bool {
      target = true;
      return !inlineValue;
    };
    bool ok = true;
    if (arg == QLatin1String("--port") || arg == QLatin1String("-p")) {
      ok = value(result.port);
      portGiven = true;
    } else if (arg == QLatin1String("--output") || arg == QLatin1String("-o")) {
      ok = value(result.output);
      outputGiven = true;
    } else if (arg == QLatin1String("--template")) {
      ok = value(result.templatePath);
    } else if (arg == QLatin1String("--json")) {
      ok = flag(result.json);
    } else if (arg == QLatin1String("--each")) {
      ok = flag(result.each);
    } else if (arg == QLatin1String("--force")) {
      ok = flag(result.force);
    } else if (arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
      return failure(QStringLiteral("unbekannte Option \"%1\"").arg(arg));
    } else if (!command) {
      command = findCommand(arg);
      if (!command) return failure(QStringLiteral("unbekannter Befehl \"%1\"").arg(arg));
      result.command = command->command;
    } else {
      files << arg;
    }
    if (!ok) {
      return failure(inlineValue && (arg == QLatin1String("--json") || arg == QLatin1String("--each") ||
                                        arg == QLatin1String("--force"))
                         ? QStringLiteral("die Option \"%1\" nimmt keinen Wert").arg(arg)
                         : QStringLiteral("der Option \"%1\" fehlt ihr Wert").arg(arg));
    }
  }

  if (!command) return failure(QStringLiteral("kein Befehl angegeben"));
  const QString name = QLatin1String(command->name);
  if (command->needsPort && !portGiven) return failure(name + QStringLiteral(": --port fehlt"));
  if (command->images > 0) {
    if (files.size() + (portGiven ? 1 : 0) != command->images) {
      return failure(name + (command->images == 1 ? QStringLiteral(": eine Datei oder --port")
                                                  : QStringLiteral(": zwei Dateien, oder eine Datei und --port")));
    }
    result.files = files;
    files.clear();
  }
  if (!command->needsPort && command->images == 0 && portGiven) {
    return failure(name + QStringLiteral(": --port ist hier nicht möglich"));
  }
  if (portGiven && comNumberOf(result.port) == 0 && !isDevicePath(result.port)) {
    return failure(QStringLiteral("Port \"%1\": COM1 bis COM4 oder der Pfad eines Geräts").arg(result.port));
  }
  if (command->takesOutput && !outputGiven) return failure(name + QStringLiteral(": --output fehlt"));
  if (!command->takesOutput && outputGiven) return failure(name + QStringLiteral(": --output ist hier nicht möglich"));
  if (!command->takesOutput && result.force) return failure(name + QStringLiteral(": --force ist hier nicht möglich"));
  if (!command->takesEach && result.each) return failure(name + QStringLiteral(": --each ist hier nicht möglich"));
  if (command->takesFile && files.size() != 1) {
    return failure(name + (files.isEmpty() ? QStringLiteral(": die Datei fehlt")
                                           : QStringLiteral(": nur eine Datei möglich")));
  }
  if (!command->takesFile && !files.isEmpty()) {
    return failure(name + QStringLiteral(": unerwartetes Argument \"%1\"").arg(files.first()));
  }
  if (command->takesFile) result.file = files.first();
  return {result, {}};
}

QString usageText() {
  return QStringLiteral(
      "Aufruf:\n"
      "  lk24ctl ports   [--json]\n"
      "  lk24ctl info    --port PORT [--template FILE] [--json]\n"
      "  lk24ctl read    --port PORT --output FILE [--force] [--template FILE] [--json]\n"
      "  lk24ctl program --port PORT [--template FILE] [--json] [--each] FILE\n"
      "  lk24ctl verify  --port PORT [--template FILE] [--json] FILE\n"
      "  lk24ctl restore --port PORT [--template FILE] [--json] BACKUP\n"
      "  lk24ctl show    [--json] FILE | --port PORT [--template FILE]\n"
      "  lk24ctl diff    [--json] A B | A --port PORT [--template FILE]\n"
      "  lk24ctl report  --output FILE.pdf FILE | --port PORT [--template FILE]\n"
      "\n"
      "Liest, programmiert und prüft LK24-Geräte über die serielle Schnittstelle,\n"
      "mit demselben Ablauf wie das Fenster. \"show\" zeigt jede Einstellung mit\n"
      "der Beschriftung des Fensters, \"diff\" die Einstellungen, in denen A und B\n"
      "(mit --port: die Datei und das Gerät) sich unterscheiden, \"report\" macht\n"
      "daraus einen Bericht zum Drucken. \"restore\" schreibt eine Sicherung aus\n"
      "\"Sicherungen\" Byte für Byte in das Gerät zurück, von dem sie stammt.\n"
      "\n"
      "  -p, --port PORT     COM1 bis COM4 (wie im Fenster) oder der Pfad eines Geräts\n"
      "  -o, --output FILE   die Konfigurationsdatei, die \"read\" schreibt,\n"
      "                      das PDF, das \"report\" schreibt\n"
      "      --force         \"read\" ersetzt eine vorhandene Datei (nie die Vorlage)\n"
      "      --template FILE die Vorlage (LK24.ini im aktuellen Verzeichnis)\n"
      "      --json          am Ende ein JSON-Dokument auf stdout\n"
      "      --each          programmiert ein Gerät nach dem anderen, bis Strg+C\n"
      "  -h, --help          dieser Text\n"
      "      --version       die Version\n"
      "\n"
      "Exit-Status: 0 Erfolg, 1 Aufruf falsch, 2 Vorlage oder Datei unbrauchbar,\n"
      "3 Port nicht zu öffnen, 4 Übertragungsfehler, 5 Verify oder diff mit Abweichungen,\n"
      "6 Gerät verweigert (Schreibschutz, Firmware), 7 EEPROM-Prüfsumme falsch.\n");
}

QString versionText() { return QStringLiteral("lk24ctl 1.00 (LK24 -config-)\n"); }

}  // namespace lk24::cli
