// The window on the offscreen platform, for the test machine's checks: one
// read, the "Kommunikation" menu's port probe, or a program run whose
// adapter is pulled in the middle of the write pass. Prints the message log
// (the probe: which COM ports it could open) and what was measured; exits 0
// when the run ended as it must. Runs in a folder that holds LK24.ini.
// Usage: lk24-vm-window read | probe
//        lk24-vm-window unplug REQUEST-FILE LOCK-FILE
#include "ui/QtMainThreadWaker.h"
#include "link/DeviceLink.h"
#include "ui/ConfirmBox.h"
#include "ui/ULK24.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextEdit>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

int OpenDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size()); }

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

void PrintLog(const lk24::TForm1& form) {
  std::printf("%s\n", qPrintable(form.MInfo->toPlainText()));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  const QStringList args = app.arguments();
  lk24::SetYesNoHandler([](const QString&) { return true; });
  lk24::TForm1 form;
  lk24::DeviceLink& link = form.link();
  if (args.size() == 2 && args[1] == QLatin1String("read")) {
    form.LeseButtonClick();
    const bool ended = RunUntil([&] { return !link.transferRunning(); }, 60000);
    PrintLog(form);
    return ended && form.MInfo->toPlainText().contains(QStringLiteral("Daten erfolgreich gelesen")) ? 0 : 1;
  }
  if (args.size() == 2 && args[1] == QLatin1String("probe")) {
    form.MKommunikationClick();
    for (int n = 1; n <= 4; ++n) std::printf("COM%d %s\n", n, link.comAvailable(n) ? "free" : "refused");
    return 0;
  }
  if (args.size() == 4 && args[1] == QLatin1String("unplug")) {
    const int descriptors = OpenDescriptors();
    form.ProgButtonClick();
    const auto writing = [&] {
      const lk24::TransferState& s = link.state();
      return s.ProgramMode() && !s.ReadMode() && s.BytePos >= 20;
    };
    if (!RunUntil(writing, 60000)) {
      PrintLog(form);
      std::printf("the write pass never began\n");
      return 1;
    }
    QElapsedTimer clock;
    clock.start();
    QFile(args[2]).open(QIODevice::WriteOnly);
    const bool ended = RunUntil([&] { return !link.transferRunning(); }, 10000);
    const qint64 tookMs = clock.elapsed();
    // The port closes after the error: let the engine threads finish.
    RunUntil([] { return false; }, 300);
    const bool lockGone = !QFile::exists(args[3]);
    const int descriptorsAfter = OpenDescriptors();
    PrintLog(form);
    std::printf("took=%lld ms lock=%s descriptors before=%d after=%d\n", static_cast<long long>(tookMs),
                lockGone ? "freed" : "left", descriptors, descriptorsAfter);
    const bool error = form.MInfo->toPlainText().contains(QStringLiteral("Übertragungsfehler bei Byte"));
    return ended && error && tookMs < 2000 && lockGone && descriptorsAfter <= descriptors ? 0 : 1;
  }
  std::fprintf(stderr, "usage: lk24-vm-window read | probe | unplug REQUEST-FILE LOCK-FILE\n");
  return 2;
}
