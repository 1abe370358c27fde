#include "cli/session/ProductionLoop.h"

#include "cli/session/CommandView.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/output/Json.h"
#include "cli/platform/MainLoop.h"
#include "cli/output/Output.h"
#include "cli/session/PortList.h"
#include "cli/session/PresenceProbe.h"
#include "cli/session/ProgramRun.h"
#include "cli/output/ProgressLine.h"
#include "cli/session/Report.h"
#include "cli/session/RunRecord.h"
#include "cli/platform/Stopwatch.h"
#include "cli/output/Text.h"
#include "cli/session/Verdict.h"
#include "serial/AfPortResolver.h"


#include <filesystem>
#include <optional>

namespace lk24::cli {

namespace {

constexpr std::chrono::milliseconds kProbeInterval{500};  // about twice a second

// Why the port cannot be used now; nothing when it can, and with
// absentOk nothing for a port that is merely absent (an unplugged adapter).
std::optional<std::string> portProblem(const PortChoice& port, bool absentOk) {
  const std::string where = port.given == port.device ? port.given : port.given + " = " + port.device;
  const TAfComResolution resolution = AfResolveComPort(port.number, TAfPortRoots{});
  const bool consoleAllowed = resolution.source == TAfComResolution::Mapped && resolution.onPurpose;
  const TAfPortAccess access = AfCheckPortAccess(port.device, TAfPortRoots{}, consoleAllowed);
  if (access.state == TAfPortState::Free || (absentOk && access.state == TAfPortState::Missing)) return std::nullopt;
  PortEntry entry;
  judge(entry, access);
  return "Port " + where + " nicht zu benutzen: " + entry.availability;
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
        say("Warte auf das nächste Gerät an " + s_.port.given + " ...");
        next = waitForDevice(device);
      }
      if (next == Next::Stop || !program(device)) return;
      say(lastPassed_ ? "Fertig; bitte das Gerät abziehen." : "Gerät fehlerhaft; bitte abziehen und beiseitelegen.");
      next = waitForChange(device);
    }
  }

  bool interrupted() const { return interrupts_ && interrupts_->requested(); }

  void say(const std::string& text) const {
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

  // A probe whose answer names a device: its type and the serial number of that type.
  static bool whole(const ProbeAnswer& answer) { return answer.kind == ProbeAnswer::Answered && answer.serial >= 0; }

  // Until one device answered two probes in a row alike: a disturbed answer
  // must not become a device of its own.
  Next waitForDevice(ProbeAnswer& device) {
    std::optional<ProbeAnswer> candidate;
    while (!interrupted()) {
      const Stopwatch clock;
      const auto answer = probe();
      if (!answer) return Next::Stop;
      if (candidate && answer->sameDevice(*candidate)) {
        device = *answer;
        return Next::Program;
      }
      candidate = whole(*answer) ? answer : std::nullopt;
      waitOut(clock);
    }
    return Next::Stop;
  }

  // Until the device is gone (two probes in a row without any answer), or
  // another one answered two probes in a row in its place. Any other answer,
  // a disturbed one too, starts the wait again.
  Next waitForChange(ProbeAnswer& device) {
    int silentProbes = 0;
    std::optional<ProbeAnswer> other;
    while (!interrupted()) {
      const Stopwatch clock;
      const auto answer = probe();
      if (!answer) return Next::Stop;
      silentProbes = answer->kind == ProbeAnswer::Answered ? 0 : silentProbes + 1;
      if (silentProbes >= 2) return Next::WaitForDevice;
      if (other && answer->sameDevice(*other)) {
        device = *answer;
        say("Anderes Gerät erkannt.");
        return Next::Program;
      }
      other = whole(*answer) && !answer->sameDevice(device) ? answer : std::nullopt;
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
    report.command = "program";
    report.portGiven = s_.port.given;
    report.templateGiven = s_.templateGiven;
    report.portDevice = s_.port.device;
    report.portNumber = s_.port.number;
    if (const std::string refusal = typeRefusal(s_.expectType, device.typeCode); !refusal.empty()) {
      refuseType(report, refusal, device.typeCode, device.serial);
    } else {
      programDevice(image, s_.file, s_.port, s_.backupFolder, interrupts_, view, report);
    }
    progress_.clear();
    // Recorded before the verdict is shown, so that a good device whose row
    // was not written is never called "OK".
    std::string recordError;
    const bool recorded = record_.append(recordRowOf(report, s_.filePath, s_.fileSha256, clock.seconds()), &recordError);
    if (!recorded && passed(report)) {
      report.status = ExitStatus::FileUnusable;
      report.message = recordError;
    }
    // A device without its row counts as failed, in the summary too.
    lastPassed_ = passed(report);
    if (s_.json) {
      printOut(toJson(report));
    } else {
      printVerdict(report);
    }
    if (lastPassed_) {
      ++passed_;
    } else {
      failed_.push_back(deviceName(report));
      lastFailure_ = report.exitCode();
    }
    if (!recorded) {
      endWith(ExitStatus::FileUnusable, recordError);
      return false;
    }
    if (interrupted()) return false;
    if (s_.count > 0 && passed_ + static_cast<int>(failed_.size()) >= s_.count) return false;
    return lastPassed_ || !s_.stopOnFailure;
  }

  void endWith(ExitStatus status, const std::string& message) {
    stopStatus_ = status;
    stopMessage_ = message;
    printErr("lk24ctl: " + message);
  }

  int exitCode() const {
    if (stopStatus_) return code(*stopStatus_);
    return lastFailure_;
  }

  void summarize() const {
    const int failed = static_cast<int>(failed_.size());
    if (s_.json) {
      Report verdict;
      verdict.status = stopStatus_.value_or(ExitStatus::Success);
      const std::string result = exitCode() == 0 ? "success" : stopStatus_ ? resultName(verdict) : "device-failed";
      printOut(json::compact(jsonFrame({{"command", "program"},
                                        {"summary", true},
                                        {"exitStatus", exitCode()},
                                        {"passed", passed_},
                                        {"failed", failed},
                                        {"failedDevices", json::Array(failed_.begin(), failed_.end())},
                                        {"message", json::orNull(stopMessage_)},
                                        {"result", result}})));
      return;
    }
    std::string line = "Zusammenfassung: " + std::to_string(passed_) + " erfolgreich, " + std::to_string(failed) +
                       " fehlerhaft";
    if (failed > 0) line += " (" + join(failed_, ", ") + ")";
    if (!stopMessage_.empty()) line += "; " + stopMessage_;
    printOut(line);
  }

  const ConfigImage& template_;
  const LoopSettings& s_;
  RunRecord& record_;
  const InterruptWatch* interrupts_;
  ProgressLine& progress_;
  int passed_ = 0;
  std::vector<std::string> failed_;
  bool lastPassed_ = true;
  int lastFailure_ = 0;
  std::optional<ExitStatus> stopStatus_;
  std::string stopMessage_;
};

}  // namespace

int runProductionLoop(const ConfigImage& templateImage, const LoopSettings& settings, RunRecord& record,
                      const InterruptWatch* interrupts, ProgressLine& progress) {
  return ProductionLoop(templateImage, settings, record, interrupts, progress).run();
}

}  // namespace lk24::cli
