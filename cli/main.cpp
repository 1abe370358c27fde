// lk24ctl: read, program, verify and inspect LK24 devices from a shell, with
// the window's own transfer code underneath.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/InterruptWatch.h"
#include "cli/Output.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  using namespace lk24::cli;
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  const ParsedArguments parsed = parseArguments(args);
  if (!parsed.arguments) {
    printErr(QStringLiteral("lk24ctl: ") + parsed.error);
    printErr(QStringLiteral("\"lk24ctl --help\" zeigt den Aufruf."));
    return code(ExitStatus::Usage);
  }
  InterruptWatch interrupts;
  return runCommand(*parsed.arguments, &interrupts);
}
