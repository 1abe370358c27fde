// A read through the real main window (offscreen, shown, gauge and label
// painted) against the simulated device, next to a bare blocking termios
// loop that reads the same 256 bytes from the same simulator, in one run:
// what the window and the whole serial stack add to the exchange itself.
//
//   bench_window_read [runs]      (default 7 per case)
//   bench_window_read --profile N (only N window reads at zero latency, for a profiler)

#include "ui/QtMainThreadWaker.h"
#include "link/DeviceLink.h"
#include "link/LinkTexts.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/SystemBeep.h"
#include "ui/ULK24.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace lk24;

constexpr double kBareTarget0 = 2.5;       // window read within 2.5 x the bare loop at zero latency
constexpr double kBareTarget19200 = 1.03;  // ... and within 3 % of it at 19200 baud

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Lets the window's timers run without spinning, so the next run starts on a quiet machine.
void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The least a client can do: open, raw mode, the wake-up run, then one
// blocking read per command. Seconds, or a negative value on failure.
double bareRead(const std::string& path) {
  QElapsedTimer timer;
  timer.start();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
  const std::vector<unsigned char> wakeUp(command::kWakeUpLength, 0);
  bool ok = ::write(fd, wakeUp.data(), wakeUp.size()) == static_cast<ssize_t>(wakeUp.size());
  tcflush(fd, TCIFLUSH);
  for (int address = 0; ok && address < 256; ++address) {
    const unsigned char request[2] = {command::kRead, static_cast<unsigned char>(address)};
    unsigned char answer = 0;
    ok = ::write(fd, request, 2) == 2 && ::read(fd, &answer, 1) == 1;
  }
  ::close(fd);
  return ok ? timer.nsecsElapsed() / 1e9 : -1;
}

// Quits a loop once the read button comes back, which ends every transfer;
// the rest of that handler (refresh, focus) still runs before the loop returns.
class TransferEndWatch : public QObject {
 public:
  TransferEndWatch(TForm1& form, QEventLoop& loop) : form_(form), loop_(loop) {
    form.LeseButton->installEventFilter(this);
  }
  ~TransferEndWatch() override { form_.LeseButton->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange && form_.LeseButton->isEnabled() && !form_.link().transferRunning()) {
      QTimer::singleShot(0, &loop_, &QEventLoop::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TForm1& form_;
  QEventLoop& loop_;
};

// LeseButtonClick until the transfer has ended, the main thread sleeping in
// its event loop between bytes as in the running program. startSeconds gets
// the part before the first byte: opening the port, the wake-up run and the
// first command.
double windowRead(TForm1& form, double& startSeconds) {
  QEventLoop loop;
  TransferEndWatch watch(form, loop);
  QElapsedTimer timer;
  timer.start();
  form.LeseButtonClick();
  startSeconds = timer.nsecsElapsed() / 1e9;
  if (form.link().transferRunning()) loop.exec();
  const double seconds = timer.nsecsElapsed() / 1e9;
  const QString log = form.MInfo->toPlainText();
  return log.contains(QString::fromStdString(linktext::readDone())) ? seconds : -1;
}

bool runCase(const char* name, int baud, double target, int runs, bool windowOnly = false) {
  devsim::Options options;
  options.baud = baud;
  devsim::DeviceSimulator sim(options);
  std::string error;
  if (!sim.start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return false;
  }
  ::setenv("LK24_COM1", sim.slavePath().c_str(), 1);

  TForm1 form;
  form.show();
  settle(400);  // start-up's first refresh
  std::vector<double> window, bare, starts;
  for (int i = 0; i < runs; ++i) {
    form.ButClearClick();
    double start = 0;
    const double w = windowRead(form, start);
    starts.push_back(start);
    settle(250);  // the port closes 200 ms after the last byte
    const double b = windowOnly ? 1 : bareRead(sim.slavePath());
    settle(20);
    if (w < 0 || b < 0) {
      std::fprintf(stderr, "%s: run %d failed (window %s, bare loop %s)\n", name, i, w < 0 ? "failed" : "ok",
                   b < 0 ? "failed" : "ok");
      return false;
    }
    window.push_back(w);
    bare.push_back(b);
  }
  const double mw = median(window);
  const double mb = median(bare);
  std::printf("%-26s window read median %7.2f ms (min %7.2f)  bare loop median %7.2f ms (min %7.2f)  ratio %.3f\n",
              name, mw * 1e3, *std::min_element(window.begin(), window.end()) * 1e3, mb * 1e3,
              *std::min_element(bare.begin(), bare.end()) * 1e3, mw / mb);
  std::printf("%-26s of the window read: %.2f ms until the first command is out (port opened, wake-up run)\n", name,
              median(starts) * 1e3);
  std::printf("TABLE|read through the window, %s|%.1f ms|bare termios loop %.1f ms (target %.2f x)|%.3f\n", name,
              mw * 1e3, mb * 1e3, target, mw / mb);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  const bool profile = argc > 2 && std::string(argv[1]) == "--profile";
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[profile ? 2 : 1])) : 7;

  // The window keeps its template in the working directory.
  QTemporaryDir dir;
  if (!dir.isValid() ||
      !QFile::copy(QStringLiteral(LK24_SOURCE_DIR "/templates/LK24.ini"), dir.filePath(QStringLiteral("LK24.ini"))) ||
      !QDir::setCurrent(dir.path())) {
    std::fprintf(stderr, "cannot prepare a working directory with the template\n");
    return 1;
  }
  SetSystemBeepHandler([] {});

  if (profile) return runCase("simulator, no latency", 0, kBareTarget0, runs, true) ? 0 : 1;
  std::printf("LK24 window read benchmark, %d runs per case, window and bare loop alternating\n", runs);
  bool ok = runCase("simulator, no latency", 0, kBareTarget0, runs);
  ok = runCase("simulator, 19200 baud", 19200, kBareTarget19200, runs) && ok;
  return ok ? 0 : 1;
}
