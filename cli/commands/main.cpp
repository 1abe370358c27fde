// lk24ctl: read, program and verify LK24 devices from a shell, with the
// window's own transfer code underneath.
#include "cli/args/CommandLine.h"
#include "cli/commands/Commands.h"
#include "cli/args/ExitStatus.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/platform/MainLoop.h"
#include "cli/output/Output.h"
#include "cli/session/Report.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

int run(const std::vector<std::string>& args) {
  using namespace lk24::cli;
  const ParsedArguments parsed = parseArguments(args);
  if (!parsed.arguments) {
    // A script that asked for JSON gets its one document here too.
    if (parsed.json) {
      Report usage;
      usage.command = parsed.commandName;
      usage.status = ExitStatus::Usage;
      usage.message = parsed.error;
      printOut(toJson(usage));
    }
    printErr("lk24ctl: " + parsed.error);
    printErr(parsed.commandName.empty() ? "\"lk24ctl --help\" zeigt den Aufruf."
                                        : "\"lk24ctl help " + parsed.commandName + "\" zeigt den Aufruf.");
    return code(ExitStatus::Usage);
  }
  InterruptWatch interrupts(mainLoop());
  return runCommand(*parsed.arguments, &interrupts);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The texts are UTF-8; the console shows them as such.
  SetConsoleOutputCP(CP_UTF8);
#else
  // A reader that went away (a pipe into head, a closed SSH session) costs
  // lk24ctl its output, never its life: even a usage error's JSON is written
  // before any command runs, so this comes first.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  const int status = run(std::vector<std::string>(argv + 1, argv + argc));
  lk24::cli::endMainLoop();
  return status;
}
