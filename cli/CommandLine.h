#pragma once
// lk24ctl's arguments: one command, its options (English names, as command
// lines have them) and at most one configuration file.

#include <QString>
#include <QStringList>

#include <optional>

namespace lk24::cli {

enum class Command { Ports, Info, Read, Program, Verify, Restore, Show, Diff, Report, Help, Version };

struct Arguments {
  Command command = Command::Help;
  QString port;                                    // --port, -p: COM1..COM4 or a device path
  QString output;                                  // --output, -o (read)
  QString templatePath = QStringLiteral("LK24.ini");  // --template
  bool json = false;                               // --json
  bool each = false;                               // --each (program)
  bool force = false;                              // --force (read): replace an existing file
  QString file;                                    // FILE (program, verify), BACKUP (restore)
  QStringList files;                               // FILEs (show, diff, report), in their order
};

struct ParsedArguments {
  std::optional<Arguments> arguments;
  QString error;  // German, names the offending argument; empty when parsed
};

// args without the program name.
ParsedArguments parseArguments(const QStringList& args);

QString usageText();
QString versionText();

// The COM number of "COM1".."COM4" (any case), or 0 for anything else.
int comNumberOf(const QString& port);
// A port given as a path to a device rather than as COMn.
bool isDevicePath(const QString& port);

}  // namespace lk24::cli
