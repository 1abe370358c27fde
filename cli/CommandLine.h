#pragma once
// lk24ctl's arguments as getopt_long parses them: one command, its options
// (English names, as command lines have them) and at most one file. Every
// option may be given once; the commands' table says which each one takes.

#include <QString>
#include <QStringList>

#include <optional>

namespace lk24::cli {

enum class Command { Ports, Info, Read, Program, Verify, Restore, Show, Diff, Report, Help, Version };

// The device type --expect-type asks for.
enum class ExpectedType { Any, Transmitter, Receiver };

struct Arguments {
  Command command = Command::Help;
  QString commandName;                             // as typed; "help" and its topic for Help
  QString helpTopic;                               // help COMMAND, COMMAND --help: that command
  QString port;                                    // --port, -p: COM1..COM4 or a device path
  QString output;                                  // --output, -o (read)
  QString templatePath = QStringLiteral("LK24.ini");  // --template
  bool templateGiven = false;
  bool json = false;                               // --json
  bool quiet = false;                              // --quiet, -q
  bool each = false;                               // --each (program)
  QString record;                                  // --record FILE
  QString backupDir;                               // --backup-dir DIR
  ExpectedType expectType = ExpectedType::Any;     // --expect-type
  int count = 0;                                   // --count N; 0: until interrupted
  bool stopOnFailure = false;                      // --stop-on-failure
  bool force = false;                              // --force (read): replace an existing file
  QString file;                                    // FILE (program, verify), BACKUP (restore)
  QStringList files;                               // FILEs (show, diff, report), in their order
};

struct ParsedArguments {
  std::optional<Arguments> arguments;
  QString error;        // German, names the offending argument; empty when parsed
  bool json = false;    // --json was among the arguments, so the error is a JSON document
  QString commandName;  // the command, when one was recognised before the error
};

// args without the program name.
ParsedArguments parseArguments(const QStringList& args);

// The whole usage, or one command's help; empty for an unknown command.
QString usageText();
QString commandHelp(const QString& command);
QString versionText();
// The package's version ("1.0").
QString toolVersion();

// The COM number of "COM1".."COM4" (any case), or 0 for anything else.
int comNumberOf(const QString& port);
// A port given as a path to a device rather than as COMn.
bool isDevicePath(const QString& port);

}  // namespace lk24::cli
