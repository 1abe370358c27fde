#include "bench/SoakLoopRun.h"
#include "bench/SoakRun.h"

#include "model/ConfigImage.h"
#include "model/ConfigurationFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

namespace lk24::soak {

namespace {

// Answers a program run takes when nothing goes wrong.
constexpr int kProgramRunAnswers = kProgramAnswers;
// Answers after the run's own before the disturbed one may come: room for a
// run that takes a few answers more than counted above.
constexpr int kAfterRunMargin = 6;
// Probes the loop must have made after the run, and after the disturbed
// answer, before it counts as settled: a second programming would have begun.
constexpr int kProbesAfter = 5;
constexpr int kWaitMs = 60000;

template <typename Condition>
bool waitUntil(Condition done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}


// lk24ctl in the folder, to its end.
int runToEnd(const LoopTools& tools, const QString& folder, const QStringList& args, QString* out) {
  QProcess process;
  process.setWorkingDirectory(folder);
  process.start(q(tools.lk24ctl), args);
  if (!process.waitForFinished(kWaitMs)) process.kill();
  process.waitForFinished();
  *out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The configuration: the device's own image with some settings changed, as
// read from a device of the same type.
bool writeConfiguration(const LoopPlan& plan, const LoopTools& tools, const QString& folder,
                        std::vector<std::string>& problems) {
  devsim::Options sourceOptions;
  sourceOptions.type = plan.device.type;
  devsim::DeviceSimulator source(sourceOptions);
  std::string error;
  if (!source.start(&error)) {
    problems.push_back("the source simulator did not start: " + error);
    return false;
  }
  Table image = source.eeprom();
  for (int a : plan.changedBytes) image[a] = static_cast<std::uint8_t>(image[a] ^ 0x5A);
  image[addr::kChecksum] = calculatechecksum(image);
  source.setEeprom(image);
  QString out;
  const int status = runToEnd(tools, folder, {"read", "-p", q(source.slavePath()), "-o", "cfg.lk2"}, &out);
  if (status != 0) problems.push_back("reading the configuration: " + out.toStdString());
  return status == 0;
}

void judge(const QString& folder, const QString& out, const Table& before, const Table& after,
           std::vector<std::string>& problems) {
  const auto fail = [&problems](const std::string& what) { problems.push_back(what); };
  const int verdicts = static_cast<int>(out.count(QRegularExpression(QStringLiteral("(^|\n)(OK|FEHLER) "))));
  if (verdicts != 1) fail(std::to_string(verdicts) + " verdict lines for one device");
  const QRegularExpressionMatch summary =
      QRegularExpression(QStringLiteral("Zusammenfassung: (\\d+) erfolgreich, (\\d+) fehlerhaft")).match(out);
  if (!summary.hasMatch() || summary.captured(1).toInt() + summary.captured(2).toInt() != 1) {
    fail("the summary does not count one device");
  }
  QFile recordFile(folder + "/rec.csv");
  const QStringList rows = recordFile.open(QIODevice::ReadOnly)
                               ? QString::fromUtf8(recordFile.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                               : QStringList();
  if (rows.size() != 2) {
    fail(std::to_string(rows.size() - 1) + " record rows for one device");
    return;
  }
  const QStringList row = rows[1].split(QLatin1Char(','));
  const QString result = row.size() == 13 ? row[9] : QString();
  const QStringList backups = QDir(folder + "/Sicherungen").entryList({"*.lk2"}, QDir::Files);
  if (backups.size() > 1) fail(std::to_string(backups.size()) + " backups: programmed more than once");
  if (result == QStringLiteral("ok")) {
    const ConfigurationFileLoad kept =
        backups.size() == 1 ? readConfigurationFile((folder + "/Sicherungen/" + backups[0]).toStdString())
                            : ConfigurationFileLoad{};
    if (!kept.ok || kept.deviceImage != before) fail("the backup is not the device's EEPROM before the run");
  } else if (backups.isEmpty() && after != before) {
    fail("row " + result.toStdString() + " without a backup, but the device changed");
  }
}

}  // namespace

LoopPlan planLoopRun(unsigned seed) {
  std::mt19937 rng(seed);
  auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  LoopPlan plan;
  plan.seed = seed;
  plan.device.seed = seed;
  plan.device.type = below(2) ? devsim::DeviceType::Transmitter : devsim::DeviceType::Receiver;
  plan.afterRun = below(2) == 1;
  // Before: among the first two probes, which the loop needs alike; a third
  // one comes only after such a disturbance. After: among the probes that
  // follow the run.
  const int before = below(2 * kProbeAnswers);
  const int after = 2 * kProbeAnswers + kProgramRunAnswers + kAfterRunMargin + below(3 * kProbeAnswers);
  plan.device.noisyAnswer = plan.afterRun ? after : before;
  for (int i = 0; i < 4; ++i) plan.changedBytes.push_back(16 + below(200));
  return plan;
}

LoopOutcome runLoop(const LoopPlan& plan, const LoopTools& tools) {
  LoopOutcome outcome;
  QElapsedTimer clock;
  clock.start();
  QTemporaryDir scratch;
  const QString folder = scratch.path();
  if (!QFile::copy(q(tools.templateFile), folder + "/LK24.ini")) {
    outcome.problems.push_back("no template at " + tools.templateFile);
    return outcome;
  }
  if (!writeConfiguration(plan, tools, folder, outcome.problems)) return outcome;

  devsim::DeviceSimulator device(plan.device);
  std::string error;
  if (!device.start(&error)) {
    outcome.problems.push_back("the simulator did not start: " + error);
    return outcome;
  }
  const Table before = device.eeprom();
  QProcess loop;
  loop.setWorkingDirectory(folder);
  loop.start(q(tools.lk24ctl), {"program", "--each", "--record", "rec.csv", "-p", q(device.slavePath()), "cfg.lk2"});
  QString out;
  const bool verdict = waitUntil(
      [&] {
        loop.waitForReadyRead(20);
        out += QString::fromUtf8(loop.readAllStandardOutput());
        return out.contains(QStringLiteral("OK ")) || out.contains(QStringLiteral("FEHLER ")) ||
               loop.state() == QProcess::NotRunning;
      },
      kWaitMs);
  if (!verdict) outcome.problems.push_back("no verdict in time");
  const long settledAt = std::max<long>(device.stats().commands, *plan.device.noisyAnswer + 1) +
                         kProbesAfter * kProbeAnswers;
  const bool settled = waitUntil([&] { return device.stats().commands >= settledAt; }, kWaitMs);
  if (!settled) outcome.problems.push_back("the loop stopped probing before the disturbed answer and after it");
  ::kill(static_cast<pid_t>(loop.processId()), SIGINT);
  if (!loop.waitForFinished(kWaitMs)) {
    outcome.problems.push_back("the loop did not end at SIGINT");
    loop.kill();
    loop.waitForFinished();
  }
  out += QString::fromUtf8(loop.readAllStandardOutput());
  outcome.summary = out.simplified().toStdString();
  judge(folder, out, before, device.eeprom(), outcome.problems);
  device.stop();
  outcome.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  return outcome;
}

}  // namespace lk24::soak
