// Start-up and idle costs of the real window: the time from program entry to
// the first refresh, the resident memory then, and the CPU the process uses
// while idle with the port closed and while a port is open and quiet.
//   bench_startup [runs]    (runs each start-up in a fresh child process)

#include "ui/QtMainThreadWaker.h"
#include "serial/AfComPort.h"
#include "ui/ULK24.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runEventLoopFor(int ms) {
  QTimer::singleShot(ms, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
}

// One start-up in this process: returns milliseconds to the first refresh
// and fills the resident memory and idle CPU figures.
struct StartupFigures {
  double toFirstRefreshMs = 0;
  long residentKiB = 0;
  double idleClosedPercent = 0;
  double idleOpenPercent = 0;
};

StartupFigures measureOnce(const Clock::time_point entry, int argc, char** argv) {
  QApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  QTemporaryDir dir;
  QFile::copy(QStringLiteral(LK24_SOURCE_DIR "/templates/LK24.ini"), dir.filePath(QStringLiteral("LK24.ini")));
  QDir::setCurrent(dir.path());

  StartupFigures figures;
  lk24::TForm1 form;
  form.show();
  // The first refresh is the single tick of inittimer; it stops itself.
  while (form.inittimer->isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  figures.toFirstRefreshMs = std::chrono::duration<double, std::milli>(Clock::now() - entry).count();
  runEventLoopFor(500);
  figures.residentKiB = residentKiB();

  constexpr int kIdleMs = 5000;
  double before = cpuSeconds();
  runEventLoopFor(kIdleMs);
  figures.idleClosedPercent = (cpuSeconds() - before) / (kIdleMs / 1000.0) * 100;

  // A port that is open while nothing arrives: a pseudo-terminal nobody writes to.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
    setenv("LK24_COM1", ptsname(master), 1);
    form.setComNumber(1);
    form.RS232->Open();
    runEventLoopFor(500);
    before = cpuSeconds();
    runEventLoopFor(kIdleMs);
    figures.idleOpenPercent = (cpuSeconds() - before) / (kIdleMs / 1000.0) * 100;
    form.RS232->Close();
    ::close(master);
  }
  form.close();
  return figures;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point entry = Clock::now();
  // Without a display the window is drawn offscreen; the figures stay comparable.
  if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  if (argc > 1 && std::string(argv[1]) == "--child") {
    const StartupFigures f = measureOnce(entry, argc, argv);
    std::printf("%.3f %ld %.3f %.3f\n", f.toFirstRefreshMs, f.residentKiB, f.idleClosedPercent, f.idleOpenPercent);
    return 0;
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<double> refresh, rss, idleClosed, idleOpen;
  for (int i = 0; i < runs; ++i) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 1;
    const pid_t child = fork();
    if (child == 0) {
      dup2(pipeFds[1], STDOUT_FILENO);
      execl("/proc/self/exe", argv[0], "--child", static_cast<char*>(nullptr));
      _exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[256] = {};
    const ssize_t got = read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    double a = 0, c = 0, d = 0;
    long b = 0;
    if (got <= 0 || std::sscanf(buffer, "%lf %ld %lf %lf", &a, &b, &c, &d) != 4) {
      std::fprintf(stderr, "run %d failed\n", i + 1);
      return 1;
    }
    refresh.push_back(a);
    rss.push_back(static_cast<double>(b));
    idleClosed.push_back(c);
    idleOpen.push_back(d);
  }
  const double toRefresh = median(refresh);
  std::printf("start-up to first refresh: %.1f ms median of %d (of which 300 ms is the start-up timer)\n", toRefresh, runs);
  std::printf("resident memory after start-up: %.1f MiB\n", median(rss) / 1024);
  std::printf("CPU idle, port closed: %.2f %%; port open and quiet: %.2f %%\n", median(idleClosed), median(idleOpen));
  std::printf("TABLE|start-up to first refresh|%.0f ms|300 ms start-up timer|%.2f\n", toRefresh, toRefresh / 300.0);
  std::printf("TABLE|resident memory after start-up|%.1f MiB|-|-\n", median(rss) / 1024);
  std::printf("TABLE|CPU while idle, port closed|%.2f %%|one core|-\n", median(idleClosed));
  std::printf("TABLE|CPU while idle, port open and quiet|%.2f %%|one core|-\n", median(idleOpen));
  return 0;
}
