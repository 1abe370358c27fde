#include "cli/ProductionLoop.h"

#include "cli/CommandView.h"
#include "cli/InterruptWatch.h"
#include "cli/MainLoop.h"
#include "cli/Output.h"
#include "cli/PortList.h"
#include "cli/PresenceProbe.h"
#include "cli/ProgramRun.h"
#include "cli/ProgressLine.h"
#include "cli/Report.h"
#include "cli/RunRecord.h"
#include "cli/Stopwatch.h"
#include "cli/Verdict.h"
#include "serial/AfPortResolver.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <optional>

namespace lk24::cli {

namespace {

constexpr std::chrono::milliseconds kProbeInterval{500};  // about twice a second

// A character device of the kernel's tty class (pseudo-terminals have no
// class entry but their own majors), judged from sysfs without opening it.
bool isTtyNode(const QString& path) {
  struct stat info {};
  if (::stat(path.toLocal8Bit().constData(), &info) != 0) return true;  // absent: the port check says so
  if (!S_ISCHR(info.st_mode)) return false;
  const unsigned major = ::major(info.st_rdev);
  if (major >= 136 && major <= 143) return true;  // /dev/pts/N
  const QString subsystem = QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major).arg(::minor(info.st_rdev));
  return QFileInfo(subsystem).symLinkTarget().endsWith(QStringLiteral("/tty"));
}

// Why the port cannot be used now; nothing when it can, and with
// absentOk nothing for a port that is merely absent (an unplugged adapter).
std::optional<QString> portProblem(const PortChoice& port, bool absentOk) {
  const QString where = port.given == port.device ? port.given : QStringLiteral("%1 = %2").arg(port.given, port.device);
  if (!isTtyNode(port.device)) return QStringLiteral("Port %1 nicht zu benutzen: keine serielle Schnittstelle").arg(where);
  const TAfPortAccess access = AfCheckPortAccess(port.device.toLocal8Bit().toStdString(), TAfPortRoots{});
  if (access.state == TAfPortState::Free || (absentOk && access.state == TAfPortState::Missing)) return std::nullopt;
  PortEntry entry;
  judge(entry, access);
  return QStringLiteral("Port %1 nicht zu benutzen: %2").arg(where, entry.availability);
}

class ProductionLoop {
 public:
  ProductionLoop(const ConfigImage& templateImage, const LoopSettings& settings, RunRecord& record,
                 const InterruptWatch* interrupts, ProgressLine& progress)
      : template_(templateImage), s_(settings), record_(record), interrupts_(interrupts), progress_(progress) {}

  int run() {
    if (const auto problem = portProblem(s_.port, false)) {
      endWith(ExitStatus::PortUnavailable, *problem);
    } else {
      loop();
    }
    summarize();
    return exitCode();
  }

 private:
  enum class Next { Program, WaitForDevice, Stop };

  void loop() {
    ProbeAnswer device;
    Next next = Next::WaitForDevice;
    while (true) {
      if (next == Next::WaitForDevice) {
        say(QStringLiteral("Warte auf das nächste Gerät an %1 ...").arg(s_.port.given));
        next = waitForDevice(device);
      }
      if (next == Next::Stop || !program(device)) return;
      say(lastPassed_ ? QStringLiteral("Fertig; bitte das Gerät abziehen.")
                      : QStringLiteral("Gerät fehlerhaft; bitte abziehen und beiseitelegen."));
      next = waitForChange(device);
    }
  }

  bool interrupted() const { return interrupts_ && interrupts_->requested(); }

  void say(const QString& text) const {
    if (!s_.quiet && !s_.json) printErr(text);
  }

  // Lets the event loop run until a probe interval has passed since clock started, or an interrupt.
  void waitOut(const Stopwatch& clock) const {
    mainLoop().runUntil([this] { return interrupted(); }, kProbeInterval - clock.elapsed());
  }

  // One probe; nothing when the port broke (the loop then stops).
  std::optional<ProbeAnswer> probe() {
    const ProbeAnswer answer = probeDevice(s_.port.number);
    if (answer.kind != ProbeAnswer::PortFailed) return answer;
    if (const auto problem = portProblem(s_.port, true)) {
      endWith(ExitStatus::PortUnavailable, *problem);
      return std::nullopt;
    }
    return answer;  // unplugged: as good as silent
  }

  Next waitForDevice(ProbeAnswer& device) {
    while (!interrupted()) {
      const Stopwatch clock;
      const auto answer = probe();
      if (!answer) return Next::Stop;
      if (answer->kind == ProbeAnswer::Answered) {
        device = *answer;
        return Next::Program;
      }
      waitOut(clock);
    }
    return Next::Stop;
  }

  // Until the device is gone, or another one answers in its place.
  Next waitForChange(ProbeAnswer& device) {
    while (!interrupted()) {
      const Stopwatch clock;
      const auto answer = probe();
      if (!answer) return Next::Stop;
      if (answer->kind != ProbeAnswer::Answered) return Next::WaitForDevice;
      if (!answer->sameDevice(device)) {
        device = *answer;
        say(QStringLiteral("Anderes Gerät erkannt."));
        return Next::Program;
      }
      waitOut(clock);
    }
    return Next::Stop;
  }

  // Programs one device; false when the loop ends after it.
  bool program(const ProbeAnswer& device) {
    const Stopwatch clock;
    ConfigImage image = template_;  // every device starts from the file
    CommandView view(image, &progress_);
    Report report;
    report.command = QStringLiteral("program");
    report.portGiven = s_.port.given;
    report.portDevice = s_.port.device;
    report.portNumber = s_.port.number;
    if (const QString refusal = typeRefusal(s_.expectType, device.typeCode); !refusal.isEmpty()) {
      refuseType(report, refusal, device.typeCode, device.serial);
    } else {
      programDevice(image, s_.file, s_.port, s_.backupFolder, interrupts_, view, report);
    }
    progress_.clear();
    if (s_.json) {
      printOut(QString::fromUtf8(toJson(report)));
    } else {
      printVerdict(report);
    }
    lastPassed_ = passed(report);
    if (lastPassed_) {
      ++passed_;
    } else {
      failed_ << deviceName(report);
      lastFailure_ = report.exitCode();
    }
    QString error;
    if (!record_.append(recordRowOf(report, s_.filePath, clock.seconds()), &error)) {
      endWith(ExitStatus::FileUnusable, error);
      return false;
    }
    if (interrupted()) return false;
    if (s_.count > 0 && passed_ + failed_.size() >= s_.count) return false;
    return lastPassed_ || !s_.stopOnFailure;
  }

  void endWith(ExitStatus status, const QString& message) {
    stopStatus_ = status;
    stopMessage_ = message;
    printErr(QStringLiteral("lk24ctl: ") + message);
  }

  int exitCode() const {
    if (stopStatus_) return code(*stopStatus_);
    return lastFailure_;
  }

  void summarize() const {
    const int failed = static_cast<int>(failed_.size());
    if (s_.json) {
      QJsonObject summary{{QStringLiteral("command"), QStringLiteral("program")},
                          {QStringLiteral("summary"), true},
                          {QStringLiteral("exitStatus"), exitCode()},
                          {QStringLiteral("passed"), passed_},
                          {QStringLiteral("failed"), failed},
                          {QStringLiteral("failedDevices"), QJsonArray::fromStringList(failed_)},
                          {QStringLiteral("message"), stopMessage_.isEmpty() ? QJsonValue() : QJsonValue(stopMessage_)}};
      Report verdict;
      verdict.status = stopStatus_.value_or(ExitStatus::Success);
      summary.insert(QStringLiteral("result"), exitCode() == 0 ? QStringLiteral("success")
                                              : stopStatus_    ? resultName(verdict)
                                                               : QStringLiteral("device-failed"));
      printOut(QString::fromUtf8(QJsonDocument(jsonFrame(summary)).toJson(QJsonDocument::Compact)));
      return;
    }
    QString line = QStringLiteral("Zusammenfassung: %1 erfolgreich, %2 fehlerhaft").arg(passed_).arg(failed);
    if (failed > 0) line += QStringLiteral(" (") + failed_.join(QStringLiteral(", ")) + QLatin1Char(')');
    printOut(line);
  }

  const ConfigImage& template_;
  const LoopSettings& s_;
  RunRecord& record_;
  const InterruptWatch* interrupts_;
  ProgressLine& progress_;
  int passed_ = 0;
  QStringList failed_;
  bool lastPassed_ = true;
  int lastFailure_ = 0;
  std::optional<ExitStatus> stopStatus_;
  QString stopMessage_;
};

}  // namespace

int runProductionLoop(const ConfigImage& templateImage, const LoopSettings& settings, RunRecord& record,
                      const InterruptWatch* interrupts, ProgressLine& progress) {
  return ProductionLoop(templateImage, settings, record, interrupts, progress).run();
}

}  // namespace lk24::cli
