#pragma once
// lk24ctl's arguments as getopt_long parses them: one command, its options
// (English names, as command lines have them) and at most one file. Every
// option may be given once; the commands' table says which each one takes.

#include <optional>
#include <string>
#include <vector>

namespace lk24::cli {

enum class Command { Ports, Info, Read, Program, Verify, Restore, Show, Diff, Report, Help, Version };

// The device type --expect-type asks for.
enum class ExpectedType { Any, Transmitter, Receiver };

struct Arguments {
  Command command = Command::Help;
  std::string commandName;                     // as typed; "help" and its topic for Help
  std::string helpTopic;                       // help COMMAND, COMMAND --help: that command
  std::string port;                            // --port, -p: COM1..COM4 or a device path
  std::string output;                          // --output, -o (read)
  std::string templatePath = "LK24.ini";       // --template
  bool templateGiven = false;
  bool json = false;                           // --json
  bool quiet = false;                          // --quiet, -q
  bool each = false;                           // --each (program)
  std::string record;                          // --record FILE
  std::string backupDir;                       // --backup-dir DIR
  ExpectedType expectType = ExpectedType::Any; // --expect-type
  int count = 0;                               // --count N; 0: until interrupted
  bool stopOnFailure = false;                  // --stop-on-failure
  bool force = false;                          // --force (read, report): replace an existing file; (restore): a backup whose checksums do not match
  std::string file;                            // FILE (program, verify), BACKUP (restore)
  std::vector<std::string> files;              // FILEs (show, diff, report), in their order
};

struct ParsedArguments {
  std::optional<Arguments> arguments;
  std::string error;                           // German, names the offending argument; empty when parsed
  bool json = false;                           // --json was among the arguments, so the error is a JSON document
  std::string commandName;                     // the command, when one was recognised before the error
};

// args without the program name.
ParsedArguments parseArguments(const std::vector<std::string>& args);

// The name of a command ("read"), empty for help and version; and every
// name, in the order of the usage. The man page and the bash completion
// list the same.
std::string commandName(Command command);
std::vector<std::string> commandNames();

// The whole usage, or one command's help; empty for an unknown command.
std::string usageText();
std::string commandHelp(const std::string& command);
std::string versionText();
// The package's version ("1.0").
std::string toolVersion();

// The COM number of "COM1".."COM4" (any case), or 0 for anything else.
int comNumberOf(const std::string& port);
// A port given as a path to a device rather than as COMn.
bool isDevicePath(const std::string& port);

}  // namespace lk24::cli
