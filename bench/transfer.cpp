// Time of a full read and a full program run through the real serial stack
// against the simulated device, at zero latency and with the wire time of
// 19200 baud, next to the time the bytes alone need on a 19200-baud line.
//
//   bench_transfer [runs]      (default 5 per case)

#include "ui/QtMainThreadWaker.h"
#include "link/AfComPortLine.h"
#include "link/DeviceLink.h"
#include "link/FolderBackupStore.h"
#include "link/LinkTexts.h"
#include "serial/AfComPort.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/QtLinkTimer.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace lk24;

// A window that shows nothing and always answers Yes; it remembers the last
// log entry so that every timed run can be checked for success.
class QuietView final : public LinkView {
 public:
  std::string lastEntry;
  void showinfo(const std::string& text, LogColour, int) override { lastEntry = text; }
  void appendPlainLine(const std::string&) override {}
  void progress(Pass, int) override {}
  bool confirm(const std::string&) override { return true; }
  void showdata() override {}
  void transferEnded(const TransferResult&) override {}
};

constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit
constexpr double kWireBaud = 19200.0;

// Bytes on the wire in both directions, as the stop-and-wait exchange needs them.
// A program run reads twice (before writing and back after it): 512 reads.
constexpr double kReadBytes = 256.0 * 3;                      // E6 A + answer
constexpr double kProgramBytes = 512.0 * 3 + 248.0 * 4;       // reads + (E9 A D + echo)
constexpr double kWakeUpBytes = 25.0;
constexpr double kReadExchanges = 256.0;
constexpr double kProgramExchanges = 256.0 + 248.0 + 256.0;

double wireSeconds(double bytes) { return bytes * kBitsPerByte / kWireBaud; }

struct Case {
  const char* name;
  int baud;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void waitIdle(const DeviceLink& link) {
  while (link.transferRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

void settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool runCase(const Case& c, int runs) {
  devsim::Options options;
  options.baud = c.baud;
  devsim::DeviceSimulator sim(options);
  std::string error;
  if (!sim.start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return false;
  }
  ::setenv("LK24_COM1", sim.slavePath().c_str(), 1);

  ConfigImage image;
  image.AndMask.fill(0xFF);
  QuietView view;
  TAfComPort port;
  AfComPortLine line(port);
  line.setComNumber(1);
  DeviceLink link(image, view, line, std::make_unique<QtLinkTimer>(), std::make_unique<QtLinkTimer>());
  // Every program run keeps a backup of the device, on disk as in the program.
  QTemporaryDir backups;
  link.setBackupStore(std::make_unique<FolderBackupStore>(backups.filePath("LK24.ini").toStdString()));

  std::vector<double> reads, programs;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    link.read();
    waitIdle(link);
    reads.push_back(timer.nsecsElapsed() / 1e9);
    if (view.lastEntry != linktext::readDone()) {
      std::fprintf(stderr, "%s: read failed: %s\n", c.name, view.lastEntry.c_str());
      return false;
    }
    settle(250);  // the port closes as after a real transfer

    timer.restart();
    link.program();
    waitIdle(link);
    programs.push_back(timer.nsecsElapsed() / 1e9);
    if (view.lastEntry != linktext::programDone()) {
      std::fprintf(stderr, "%s: program run failed: %s\n", c.name, view.lastEntry.c_str());
      return false;
    }
    settle(250);
  }

  const double readLimit = wireSeconds(kReadBytes);
  const double programLimit = wireSeconds(kProgramBytes);
  const double wake = wireSeconds(kWakeUpBytes);
  auto report = [&](const char* what, const std::vector<double>& times, double limit, double exchanges) {
    const double m = median(times);
    std::printf("%-22s %-7s median %7.4f s  min %7.4f s  %6.1f us/exchange  wire limit %.4f s  ratio %.3f"
                "  (limit with wake-up run %.4f s: ratio %.3f)\n",
                c.name, what, m, *std::min_element(times.begin(), times.end()), m / exchanges * 1e6, limit,
                m / limit, limit + wake, m / (limit + wake));
    // Only with wire timing does the time beyond the wire say what the software costs.
    if (c.baud > 0) {
      std::printf("%-22s %-7s %+.1f us per exchange beyond the wire\n", c.name, what,
                  (m - limit - wake) / exchanges * 1e6);
    }
    std::printf("TABLE|full %s, %s|%.4f s|wire time %.4f s (wake-up run included)|%.3f\n", what, c.name, m,
                limit + wake, m / (limit + wake));
  };
  report("read", reads, readLimit, kReadExchanges);
  report("program", programs, programLimit, kProgramExchanges);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::printf("LK24 transfer benchmark, %d runs per case; wire limit = bytes x 10 bits / 19200 baud\n", runs);
  bool ok = true;
  for (const Case c : {Case{"simulator, no latency", 0}, Case{"simulator, 19200 baud", 19200}}) {
    ok = runCase(c, runs) && ok;
  }
  return ok ? 0 : 1;
}
