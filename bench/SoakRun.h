#pragma once
// One soak run: a read or a program run through the real serial stack and the
// device link against a simulated device on a pseudo-terminal, with one fault
// drawn from the run's seed, and every check of what the user and the device
// are left with afterwards. bench_soak repeats it thousands of times; the
// link tests run a short fixed set.
//
// Main thread only: the link, the port object and the waits all live there.

#include "editor/ImageCorrections.h"
#include "link/AfComPortLine.h"
#include "editor/DeviceIdentity.h"
#include "link/DeviceLink.h"
#include "link/FolderBackupStore.h"
#include "link/LinkTexts.h"
#include "link/PortTexts.h"
#include "model/ConfigurationFile.h"
#include "model/ConfigImage.h"
#include "serial/AfComPort.h"
#include "serial/AfUtils.h"
#include "tools/devsim/DeviceSimulator.h"
#include "ui/QtLinkTimer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lk24::soak {

// Retry: a program run whose device stops answering in the write pass, then
// "Programmieren" again with the fault gone, from what the tool then holds.
// StuckRetry: the same after a verify with differences, a cell of the device
// having kept its old byte. NoisyPreRead: one disturbed answer in a program
// run's first read, at a random address: the run must end as a disturbed
// line with nothing written, or back up exactly what the device holds.
enum class Fault { None, Jitter, StopAfter, WrongEcho, Garbage, BadChecksum, Vanish, Retry, StuckRetry, NoisyPreRead };
constexpr int kFaultKinds = 10;
const char* faultName(Fault f);
std::optional<Fault> faultNamed(const std::string& name);

// Answers a request takes in each pass, and where each pass starts in the
// count of answers a whole request takes.
constexpr int kReadAnswers = kImageSize;
constexpr int kDeviceByteAnswers = 21;  // the bytes a program run reads twice before it writes
constexpr int kWriteAnswers = addr::kLastWritten + 1;
constexpr int kProgramAnswers = 2 * kReadAnswers + kDeviceByteAnswers + kWriteAnswers;
constexpr int kWritePassStart = kReadAnswers + kDeviceByteAnswers;
constexpr int kVerifyPassStart = kWritePassStart + kWriteAnswers;
constexpr int kJitterMaxMs = 150;

struct Plan {
  unsigned seed = 0;
  bool program = false;
  Fault fault = Fault::None;
  devsim::Options device;
  int vanishAt = -1;  // answers the tool has taken when the line is pulled
  // The user's side of a program run.
  Table userImage{};
  Table andMask{};
  Table orMask{};
  Table factoryImage{};

  int answers() const { return program ? kProgramAnswers : kReadAnswers; }
  // How long the tool's own turn around an answer may take before the
  // device's next answer misses the 200 ms after the previous byte.
  int spareMs() const { return fault == Fault::Jitter ? kClosePortDelayMs - kJitterMaxMs : kClosePortDelayMs; }
};

// Everything of a run follows from its seed, so that one run can be replayed
// alone. Odd seeds program, even seeds read: consecutive runs alternate.
Plan planRun(unsigned seed, std::optional<Fault> forced = std::nullopt);

// What the process holds, to see that nothing grows from run to run.
struct Resources {
  int descriptors = 0;
  int threads = 0;
  long rssKb = 0;
};

Resources sampleResources();

using SteadyTime = std::chrono::steady_clock::time_point;

// The link's UTF-8 texts as the run compares them.
inline QString q(const std::string& text) { return QString::fromStdString(text); }

struct Entry {
  QString text;
  LogColour colour;
  int style;
};

// The window as the link sees it, remembering what a user would see.
class SoakView final : public LinkView, public LinkControls {
 public:
  std::vector<Entry> entries;
  std::vector<QString> plainLines;
  int beeps = 0;
  bool leseEnabled = true, progEnabled = true, menuEnabled = true;
  bool panelVisible = false, gaugeVisible = false;
  QString action;
  // Every command shows the progress panel just before the response time-out
  // restarts, and every ending hides the gauge: the times the time-out spans.
  SteadyTime lastCommandAt{};
  SteadyTime endedAt{};
  std::optional<TransferResult> result;

  void clear() {
    entries.clear();
    plainLines.clear();
    beeps = 0;
    result.reset();
  }
  bool idle() const {
    return leseEnabled && progEnabled && menuEnabled && !panelVisible && !gaugeVisible && action.isEmpty();
  }

  void showinfo(const std::string& text, LogColour colour, int style) override {
    entries.push_back({q(text), colour, style});
  }
  void appendPlainLine(const std::string& text) override { plainLines.push_back(q(text)); }
  void scrollLogToEnd() override {}
  void beep() override { ++beeps; }
  void setProgressPanelVisible(bool visible) override {
    if (visible) lastCommandAt = std::chrono::steady_clock::now();
    panelVisible = visible;
  }
  void setGaugeVisible(bool visible) override {
    if (!visible) endedAt = std::chrono::steady_clock::now();
    gaugeVisible = visible;
  }
  void setGaugeProgress(int) override {}
  void setActionText(const std::string& text) override { action = q(text); }
  void progress(Pass pass, int) override { setActionText(passName(pass)); }
  void transferEnded(const TransferResult& ended) override { result = ended; }
  LinkControls* controls() override { return this; }
  void setLeseButtonEnabled(bool enabled) override { leseEnabled = enabled; }
  void setProgButtonEnabled(bool enabled) override { progEnabled = enabled; }
  void focusLeseButton() override {}
  void focusProgButton() override {}
  void setTransferMenuEnabled(bool enabled) override { menuEnabled = enabled; }
  void setComItemEnabled(int, bool) override {}
  void setComItemToolTip(int, const std::string&) override {}
  void setDeviceHighlight(DeviceHighlight) override {}
  void setEditingEnabled(bool) override {}
  bool confirm(const std::string&) override { return true; }
  void showdata() override {}
};

struct Limits {
  int runWaitMs = 60000;  // a run that has not ended by then hangs
  int slackMs = 1000;     // a busy or instrumented machine's lateness on top of a time-out
  // A failed run during which the process was held off the processor for
  // this share of the plan's spare time is run again: a turn around one
  // answer wakes the window's thread three times, so a stall that long can
  // alone make the next answer late.
  int stallDivisor = 4;
  int attempts = 5;
};

// How long the machine held the process back: a thread that sleeps 5 ms at a
// time and remembers its longest oversleep. It runs at the process's own
// scheduling priority, like the window's thread and the simulated device.
class StallWatch {
 public:
  StallWatch() : thread_([this] { watch(); }) {}
  ~StallWatch() {
    stop_.store(true);
    thread_.join();
  }
  StallWatch(const StallWatch&) = delete;
  StallWatch& operator=(const StallWatch&) = delete;

  void reset() { longestUs_.store(0); }
  int longestMs() const { return static_cast<int>(longestUs_.load() / 1000); }

 private:
  void watch() {
    using namespace std::chrono;
    constexpr auto kNap = milliseconds(5);
    while (!stop_.load()) {
      const auto start = steady_clock::now();
      std::this_thread::sleep_for(kNap);
      const long late = static_cast<long>(duration_cast<microseconds>(steady_clock::now() - start - kNap).count());
      long longest = longestUs_.load();
      while (late > longest && !longestUs_.compare_exchange_weak(longest, late)) {
      }
    }
  }

  std::atomic<bool> stop_{false};
  std::atomic<long> longestUs_{0};
  std::thread thread_;
};

// How a request ended, read from the log.
struct Ending {
  enum Kind { ReadDone, ChecksumWrong, ProgramDone, VerifyDifferences, Refused, TransferError, LineDisturbed, Unknown };
  Kind kind = Unknown;
  int bytePos = -1;  // TransferError
  bool hungUp = false;  // the port reported the line gone, after the ending
  bool extraBytes = false;  // TransferError at once: more came in than one answer
};
constexpr int kEndingKinds = Ending::Unknown + 1;
const char* endingName(Ending::Kind kind);

// Reading the log (bench/SoakLog.cpp): the backup file its first entry
// names, the entries after that one, how the request ended, and the entries
// in one line with repeats counted.
std::optional<QString> backupNamedBy(const Entry& entry);
std::vector<Entry> withoutBackupEntry(const std::vector<Entry>& entries);
Ending classify(const std::vector<Entry>& entries);
std::string describe(const std::vector<Entry>& entries);

struct Outcome {
  std::vector<std::string> problems;  // empty: the run passed
  std::string summary;                // what the log said, for the report
  double seconds = 0;
  double transferSeconds = 0;  // from the request to its end in the window
  int stallMs = 0;             // the longest the machine held the process back
  int attempts = 1;
  Ending::Kind ending = Ending::Unknown;
  std::vector<std::string> stalledTries;  // problems of the attempts a stall spoilt
};

// Where a request stands, counted in answers taken since it began.
int answersTaken(const TransferState& s);

// What driving one request showed.
struct Observed {
  TransferState last;  // where the request stood just before it ended
  qint64 quietMs = 0;  // from the last command to the end
  qint64 endedMs = 0;
  std::optional<int> vanishedAt;  // answers taken when the line was pulled
  bool hung = false;
};

using Problems = std::vector<std::string>;

// The window's port, line and link, kept for all runs like in the running
// program; each run brings its own simulated device.
class Harness {
 public:
  Harness()
      : line_(port_),
        link_(image_, view_, line_, std::make_unique<QtLinkTimer>(), std::make_unique<QtLinkTimer>()) {
    line_.setComNumber(1);
    link_.setBackupStore(std::make_unique<FolderBackupStore>(backupRoot_.filePath("LK24.ini").toStdString()));
    SetStandardErrorDisplay([this](const std::string& message) { escaped_.push_back(message); });
  }
  ~Harness() {
    SetStandardErrorDisplay({});
    try {
      port_.Close();
    } catch (const std::exception&) {
      // Closing at the end cannot fail a run any more.
    }
  }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  // One attempt at the plan.
  Outcome run(const Plan& plan, const Limits& limits = {});
  // Attempts again while a failure coincides with a stall of the machine.
  Outcome runSteadily(const Plan& plan, const Limits& limits = {});

 private:
  // A fresh request; a retry starts from the image the tool holds.
  Observed drive(const Plan& plan, devsim::DeviceSimulator& device, const QElapsedTimer& clock,
                 const Limits& limits, bool retry = false);
  void judgeRequest(const Plan& plan, const Observed& seen, const Table& before, const Table& after,
                    long answersSent, const Limits& limits, Outcome& out);
  void retryWithoutFault(const Plan& plan, const Table& firstBefore, const Table& halfWritten,
                         const QElapsedTimer& clock, const Limits& limits, Outcome& out);
  void judgeWindow(Problems& problems) const;
  void letPortClose(long answersSent, const Limits& limits, Problems& problems);

  QTemporaryDir backupRoot_;  // the template's folder, holding Sicherungen/
  ConfigImage image_;
  SoakView view_;
  TAfComPort port_;
  AfComPortLine line_;
  DeviceLink link_;
  std::vector<std::string> escaped_;
  StallWatch stalls_;
};

void serveEventsFor(int ms);

}  // namespace lk24::soak
