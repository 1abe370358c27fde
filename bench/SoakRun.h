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

#include <dirent.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace lk24::soak {

// Retry: a program run whose device stops answering in the write pass, then
// "Programmieren" again with the fault gone, from what the tool then holds.
// StuckRetry: the same after a verify with differences, a cell of the device
// having kept its old byte.
enum class Fault { None, Jitter, StopAfter, WrongEcho, Garbage, BadChecksum, Vanish, Retry, StuckRetry };
constexpr int kFaultKinds = 9;
inline const char* faultName(Fault f) {
  static constexpr std::array<const char*, kFaultKinds> names = {
      "none", "jitter", "stop-after", "wrong-echo", "garbage", "bad-checksum", "vanish", "retry", "stuck-retry"};
  return names[static_cast<int>(f)];
}
inline std::optional<Fault> faultNamed(const std::string& name) {
  for (int k = 0; k < kFaultKinds; ++k) {
    if (name == faultName(static_cast<Fault>(k))) return static_cast<Fault>(k);
  }
  return std::nullopt;
}

// Answers a request takes in each pass, and where each pass starts in the
// count of answers a whole request takes.
constexpr int kReadAnswers = kImageSize;
constexpr int kDeviceByteAnswers = 8;  // the bytes a program run reads twice before it writes
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
inline Plan planRun(unsigned seed, std::optional<Fault> forced = std::nullopt) {
  std::mt19937 rng(seed);
  auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  Plan plan;
  plan.seed = seed;
  plan.program = (seed % 2) == 1;
  const int drawn = below(kFaultKinds);
  plan.fault = forced ? *forced : static_cast<Fault>(drawn);
  plan.device.seed = seed;
  plan.device.type = below(2) ? devsim::DeviceType::Transmitter : devsim::DeviceType::Receiver;
  switch (plan.fault) {
    case Fault::None:
      break;
    case Fault::Jitter:
      // A few slow answers a run: every one of them up to the limit still
      // counts, and the run stays short enough to repeat thousands of times.
      plan.device.jitterMs = kJitterMaxMs;
      plan.device.jitterPercent = 1 + below(4);
      break;
    case Fault::StopAfter:
      plan.device.stopAfter = below(plan.answers());
      break;
    case Fault::WrongEcho:
      plan.device.wrongEchoAt = below(kWriteAnswers);
      break;
    case Fault::Garbage:
      // Stray bytes from a random answer on, so that every pass meets them.
      plan.device.garbage = 1 + below(3);
      plan.device.garbagePercent = 1 + below(20);
      plan.device.garbageFrom = below(plan.answers());
      break;
    case Fault::BadChecksum:
      plan.device.badChecksum = true;
      break;
    case Fault::Vanish:
      plan.vanishAt = below(plan.answers());
      break;
    case Fault::Retry:
      plan.program = true;
      plan.device.stopAfter = kWritePassStart + below(kWriteAnswers);
      break;
    case Fault::StuckRetry:
      plan.program = true;
      plan.device.stuckAt = below(addr::kLastCompared + 1);
      break;
  }
  for (int a = 0; a < kImageSize; ++a) {
    plan.userImage[a] = static_cast<std::uint8_t>(below(256));
    // Most bits are the user's; some bytes carry protected factory bits.
    plan.andMask[a] = below(4) ? 0xFF : static_cast<std::uint8_t>(below(256));
    plan.orMask[a] = static_cast<std::uint8_t>(below(256));
    plan.factoryImage[a] = static_cast<std::uint8_t>(below(256));
  }
  if (plan.fault == Fault::Retry || plan.fault == Fault::StuckRetry) {
    // A first run that wrote the protection bit would rightly refuse the retry.
    plan.userImage[addr::kWriteProtect] &= 0xFE;
    plan.andMask[addr::kWriteProtect] |= 0x01;
  }
  return plan;
}

// The user's image after the merge: what a program run sets out to write,
// and what the tool must hold again after a run that did not complete.
inline Table mergedUserImage(const Plan& plan) {
  ConfigImage merged;
  merged.DeviceImage = plan.userImage;
  merged.AndMask = plan.andMask;
  merged.OrMask = plan.orMask;
  merged.FactoryImage = plan.factoryImage;
  merged.FilterUserData();
  return merged.DeviceImage;
}

// The image a successful program run must leave in the device: the merged
// user image, the device's own serial numbers and the pauses derived from
// them, the checksum over all, and the device's bytes beyond the written range.
inline Table intendedImage(const Plan& plan, const Table& deviceBefore) {
  Table intended = mergedUserImage(plan);
  for (int a : {addr::kReceiverSerialHigh, addr::kReceiverSerialLow, addr::kTransmitterSerialHigh,
                addr::kTransmitterSerialLow}) {
    intended[a] = deviceBefore[a];
  }
  derivePausesFromSerialNumber(intended);
  intended[addr::kChecksum] = calculatechecksum(intended);
  for (int a = addr::kLastWritten + 1; a < kImageSize; ++a) intended[a] = deviceBefore[a];
  return intended;
}

// Whether the stuck cell of a StuckRetry run must show in the verify: the
// device starts from its factory image, so the cell keeps that byte.
inline bool cellRefusesItsByte(const Plan& plan) {
  if (!plan.device.stuckAt) return false;
  const Table before = devsim::defaultImage(plan.device.type);
  return intendedImage(plan, before)[*plan.device.stuckAt] != before[*plan.device.stuckAt];
}

// What the process holds, to see that nothing grows from run to run.
struct Resources {
  int descriptors = 0;
  int threads = 0;
  long rssKb = 0;
};

inline int entriesIn(const char* directory) {
  DIR* dir = ::opendir(directory);
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count;
}

inline Resources sampleResources() {
  Resources r;
  r.descriptors = entriesIn("/proc/self/fd") - 1;  // without the one listing it
  r.threads = entriesIn("/proc/self/task");
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) r.rssKb = std::atol(line.c_str() + 6);
  }
  return r;
}

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

  void clear() {
    entries.clear();
    plainLines.clear();
    beeps = 0;
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
  void transferEnded(const TransferResult&) override {}
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
};
constexpr int kEndingKinds = Ending::Unknown + 1;
inline const char* endingName(Ending::Kind kind) {
  static constexpr std::array<const char*, kEndingKinds> names = {
      "read", "checksum", "programmed", "verify-diff", "refused", "transfer-error", "disturbed", "unknown"};
  return names[kind];
}

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

// The file a backup entry names, or nothing when the entry is none.
inline std::optional<QString> backupNamedBy(const Entry& entry) {
  const QString prefix = q(linktext::backupSaved({})).chopped(1);
  if (entry.colour != LogColour::Black || !entry.text.startsWith(prefix) || !entry.text.endsWith(QLatin1Char('"'))) {
    return std::nullopt;
  }
  return entry.text.mid(prefix.size()).chopped(1);
}

// The entries after the backup entry a program run writes before its first write.
inline std::vector<Entry> withoutBackupEntry(const std::vector<Entry>& entries) {
  if (entries.empty() || !backupNamedBy(entries.front())) return entries;
  return {entries.begin() + 1, entries.end()};
}

inline Ending classify(const std::vector<Entry>& all) {
  const std::vector<Entry> entries = withoutBackupEntry(all);
  std::vector<QString> texts;
  for (const Entry& e : entries) texts.push_back(e.text);
  // A pulled line ends the request at once and is named after its ending.
  const bool hungUp = !texts.empty() && texts.back().endsWith(q(porttext::hangUpCause()));
  if (hungUp) {
    texts.pop_back();
    std::vector<Entry> before(entries.begin(), entries.end() - 1);
    Ending ending = classify(before);
    ending.hungUp = true;
    return ending;
  }
  auto is = [&texts](std::initializer_list<QString> expected) { return texts == std::vector<QString>(expected); };
  const QString firmware = q(linktext::firmwareMismatch());
  if (is({q(linktext::readDone())}) || is({q(linktext::readDone()), firmware})) return {Ending::ReadDone};
  if (is({q(linktext::checksumWrong())}) || is({q(linktext::checksumWrong()), firmware})) return {Ending::ChecksumWrong};
  if (is({q(linktext::programDone())})) return {Ending::ProgramDone};
  if (is({firmware}) || is({q(linktext::writeProtected())}) || is({firmware, q(linktext::writeProtected())})) {
    return {Ending::Refused};
  }
  // One entry per differing byte, then the line that lists them.
  if (texts.size() >= 2 && texts.back().startsWith(QStringLiteral("Adresse ")) &&
      std::all_of(texts.begin(), texts.end() - 1, [](const QString& t) { return t == q(linktext::verifyDifference()); })) {
    return {Ending::VerifyDifferences};
  }
  const QString disturbed = q(linktext::readsDiffer(0, 0, 0)).section(QLatin1Char(':'), 0, 0);
  if (texts.size() == 3 && texts[1].startsWith(disturbed) && texts[2] == q(linktext::checkConnection())) {
    return {Ending::LineDisturbed};
  }
  const QString prefix = q(linktext::transferError(0)).chopped(1);
  if (!texts.empty() && texts[0].startsWith(prefix)) {
    bool number = false;
    const int pos = texts[0].mid(prefix.size()).toInt(&number);
    const bool noteRight = pos == 0 ? is({texts[0], q(linktext::checkConnection())}) : texts.size() == 1;
    if (number && noteRight && texts[0] == q(linktext::transferError(pos))) return {Ending::TransferError, pos};
  }
  return {};
}

inline std::string describe(const std::vector<Entry>& entries) {
  // Repeated entries (one per differing byte of a verify) are counted, not listed.
  std::string text;
  for (std::size_t i = 0; i < entries.size();) {
    std::size_t same = i + 1;
    while (same < entries.size() && entries[same].text == entries[i].text) ++same;
    text += (text.empty() ? "" : " | ") + entries[i].text.trimmed().toStdString();
    if (same - i > 1) text += " x" + std::to_string(same - i);
    i = same;
  }
  return text.empty() ? "(no entry)" : text;
}

// Where a request stands, counted in answers taken since it began.
inline int answersTaken(const TransferState& s) {
  if (s.VerifyMode()) return kVerifyPassStart + s.BytePos;
  if (s.ProgramMode() && !s.ReadMode()) return kWritePassStart + s.BytePos;
  if (s.Second == SecondRead::DeviceBytes) return kReadAnswers + s.SecondIndex;
  if (s.Second == SecondRead::WholeImage) return kReadAnswers + s.BytePos;
  return s.BytePos;
}

// What driving one request showed.
struct Observed {
  TransferState last;  // where the request stood just before it ended
  qint64 quietMs = 0;  // from the last command to the end
  qint64 endedMs = 0;
  std::optional<int> vanishedAt;  // answers taken when the line was pulled
  bool hung = false;
};

using Problems = std::vector<std::string>;

// Whether the log's ending is the one the fault demands, and came in time.
inline void judgeEnding(const Plan& plan, const Observed& seen, const Ending& ending, const std::string& log,
                        long answersSent, const Limits& limits, Problems& problems) {
  auto fail = [&problems](const std::string& what) { problems.push_back(what); };
  const bool transferError = ending.kind == Ending::TransferError;
  const int reached = answersTaken(seen.last);
  if (ending.hungUp && plan.fault != Fault::Vanish) fail("a hang-up reported, but the line was not pulled");
  if (transferError && !ending.hungUp) {
    // The time-out ends a stalled request half a second after the last command.
    if (seen.quietMs < kResponseTimeoutMs - 10 || seen.quietMs > kResponseTimeoutMs + limits.slackMs) {
      fail("transfer error " + std::to_string(seen.quietMs) + " ms after the last command");
    }
    if (ending.bytePos != seen.last.BytePos) {
      fail("reported byte " + std::to_string(ending.bytePos) + ", the request stood at " +
           std::to_string(seen.last.BytePos));
    }
  }
  if (ending.kind == Ending::Unknown) {
    fail("unexpected log: " + log);
    return;
  }

  std::optional<int> stopsAt;  // answers taken when the fault must end the request
  switch (plan.fault) {
    case Fault::None:
    case Fault::Jitter:
    case Fault::BadChecksum:
      break;
    case Fault::WrongEcho:
      if (plan.program) stopsAt = kWritePassStart + *plan.device.wrongEchoAt;
      break;
    case Fault::StopAfter:
    case Fault::Retry:
      stopsAt = *plan.device.stopAfter;
      break;
    case Fault::StuckRetry:
      break;
    case Fault::Garbage:
      return;  // stray bytes are taken as answers: any orderly ending is right
    case Fault::Vanish:
      if (seen.vanishedAt && answersSent < plan.answers()) stopsAt = static_cast<int>(answersSent);
      break;
  }
  if (!stopsAt) {
    const Ending::Kind expected = plan.fault == Fault::StuckRetry && cellRefusesItsByte(plan) ? Ending::VerifyDifferences
                                  : plan.program                                            ? Ending::ProgramDone
                                  : plan.fault == Fault::BadChecksum                        ? Ending::ChecksumWrong
                                                                                            : Ending::ReadDone;
    const bool extraEntries =
        !ending.hungUp && expected != Ending::VerifyDifferences && log.find(" | ") != std::string::npos;
    if (ending.kind != expected || extraEntries) fail("expected success, got: " + log);
  } else if (!transferError) {
    fail("expected a transfer error, got: " + log);
  } else if (plan.fault == Fault::Vanish) {
    // Answers already on their way when the line went still count.
    if (reached < *seen.vanishedAt || reached > *stopsAt) {
      fail("transfer error at answer " + std::to_string(reached) + ", line pulled at " +
           std::to_string(*seen.vanishedAt) + " with " + std::to_string(*stopsAt) + " answers sent");
    }
  } else if (reached != *stopsAt) {
    fail("transfer error at answer " + std::to_string(reached) + ", expected at " + std::to_string(*stopsAt));
  }
}

// What the log and the beep must show beside the ending itself: the
// recognition lines after a success, one beep for a refused run or a failed
// verify, and one verify entry per differing byte among those compared.
inline void judgeReport(const Ending& ending, const ConfigImage& tool, const std::vector<Entry>& entries,
                        const std::vector<QString>& plainLines, int beeps, Problems& problems) {
  const bool beepWanted = ending.kind == Ending::Refused || ending.kind == Ending::VerifyDifferences;
  if (beeps != (beepWanted ? 1 : 0)) problems.push_back(std::to_string(beeps) + " beeps");

  std::vector<QString> recognition;
  if (ending.kind == Ending::ReadDone || ending.kind == Ending::ProgramDone) {
    const int type = tool.DeviceImage[addr::kDeviceType];
    if (type == devicetype::kTransmitter) recognition.push_back(q(linktext::transmitterRecognised()));
    if (type == devicetype::kReceiver) recognition.push_back(q(linktext::receiverRecognised()));
    recognition.push_back(QString());
  }
  if (plainLines != recognition) problems.push_back("device recognition lines wrong");

  if (ending.kind == Ending::VerifyDifferences) {
    // The tool holds the user's image again; the last line lists what differed.
    const std::vector<Entry> verify = withoutBackupEntry(entries);
    const std::size_t listed = verify.back().text.count(QStringLiteral("Adresse "));
    if (verify.size() - 1 != listed) {
      problems.push_back(std::to_string(verify.size() - 1) + " verify entries for " + std::to_string(listed) +
                         " listed addresses");
    }
  }
}

// Whether the device holds what the ending says: untouched by a read or a
// refused run, the intended image after success or a failed verify pass, and
// after a failed write pass the intended bytes below the reported one.
inline void judgeProgrammedDevice(const Plan& plan, const Observed& seen, const Ending& ending,
                                  const ConfigImage& tool, const Table& before, const Table& after,
                                  Problems& problems) {
  auto fail = [&problems](const std::string& what) { problems.push_back(what); };
  const bool transferError = ending.kind == Ending::TransferError;
  const bool writePassReached = ending.kind == Ending::ProgramDone || ending.kind == Ending::VerifyDifferences ||
                                (transferError && !seen.last.ReadMode());
  Table intended = intendedImage(plan, before);
  if (plan.fault == Fault::Garbage) {
    // Stray bytes in the pre-read gave the tool other serial numbers: judge
    // the device by the image the tool set out to write.
    for (int a = 0; a <= addr::kLastWritten; ++a) intended[a] = tool.WriteImage[a];
  } else if (writePassReached) {
    for (int a = 0; a <= addr::kLastWritten; ++a) {
      if (tool.WriteImage[a] != intended[a]) {
        fail("the tool set out to write " + std::to_string(tool.WriteImage[a]) + " at " + std::to_string(a) +
             " instead of " + std::to_string(intended[a]));
        break;
      }
    }
  }
  for (int a = addr::kLastWritten + 1; a < kImageSize; ++a) {
    if (after[a] != before[a]) fail("byte " + std::to_string(a) + " beyond the written range changed");
  }
  int settledUpTo = -1;  // bytes up to this address must hold the intended value
  if (ending.kind == Ending::ProgramDone || (transferError && seen.last.VerifyMode())) {
    settledUpTo = kImageSize - 1;
  } else if (transferError && seen.last.ProgramMode() && !seen.last.ReadMode()) {
    settledUpTo = ending.bytePos - 1;
  } else if (!writePassReached && after != before) {
    fail("the device changed although nothing was written yet");
  }
  for (int a = 0; a <= settledUpTo; ++a) {
    if (after[a] != intended[a]) {
      fail("device byte " + std::to_string(a) + " is " + std::to_string(after[a]) + ", intended " +
           std::to_string(intended[a]));
      break;
    }
  }
}

// A program run that reached its write pass first kept the device's previous
// bytes in a backup file, and named it; one that did not complete holds the
// user's merged image again, so that a retry writes the user's configuration.
inline void judgeBackupAndImage(const Plan& plan, const Observed& seen, const Ending& ending, const ConfigImage& tool,
                                const std::vector<Entry>& entries, const Table& before, Problems& problems) {
  const bool transferError = ending.kind == Ending::TransferError;
  const bool writePassReached = ending.kind == Ending::ProgramDone || ending.kind == Ending::VerifyDifferences ||
                                (transferError && !seen.last.ReadMode());
  const std::optional<QString> backup = entries.empty() ? std::nullopt : backupNamedBy(entries.front());
  if (backup.has_value() != writePassReached) {
    problems.push_back(writePassReached ? "no backup before the first write" : "a backup without a write pass");
  }
  if (backup && plan.fault != Fault::Garbage) {  // stray bytes are part of what was read
    const ConfigurationFileLoad kept = readConfigurationFile(backup->toStdString());
    if (!kept.ok || kept.deviceImage != before) problems.push_back("the backup does not hold the device's bytes");
  }
  const bool incomplete = ending.kind == Ending::Refused || ending.kind == Ending::VerifyDifferences ||
                          ending.kind == Ending::LineDisturbed || transferError;
  if (incomplete && tool.DeviceImage != mergedUserImage(plan)) {
    problems.push_back("the tool lost the user's image");
  }
}

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

inline void serveEventsFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Makes the request and serves the event loop like the window does until it
// ends, watching where it stands and pulling the line when the plan says.
inline Observed Harness::drive(const Plan& plan, devsim::DeviceSimulator& device, const QElapsedTimer& clock,
                               const Limits& limits, bool retry) {
  view_.clear();
  escaped_.clear();
  if (!retry) {
    image_ = ConfigImage{};
    image_.DeviceImage = plan.userImage;
    image_.AndMask = plan.andMask;
    image_.OrMask = plan.orMask;
    image_.FactoryImage = plan.factoryImage;
  }
  if (plan.program) {
    link_.program();
  } else {
    link_.read();
  }

  QTimer heartbeat;  // wakes the loop to look at the clock and the state
  heartbeat.start(20);
  Observed seen;
  seen.last = link_.state();
  int taken = answersTaken(seen.last);
  while (link_.transferRunning()) {
    if (plan.vanishAt >= 0 && !seen.vanishedAt && taken >= plan.vanishAt) {
      device.vanish();
      seen.vanishedAt = taken;
    }
    if (clock.elapsed() > limits.runWaitMs) {
      seen.hung = true;
      break;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!link_.transferRunning()) break;
    seen.last = link_.state();
    taken = answersTaken(seen.last);
  }
  seen.endedMs = clock.elapsed();
  seen.quietMs = std::chrono::duration_cast<std::chrono::milliseconds>(view_.endedAt - view_.lastCommandAt).count();
  return seen;
}

inline void Harness::judgeWindow(Problems& problems) const {
  if (link_.transferRunning()) problems.push_back("the link is not idle");
  if (!view_.leseEnabled || !view_.progEnabled) problems.push_back("a request button stayed disabled");
  if (!view_.idle()) problems.push_back("the progress display or the menu stayed as during a transfer");
  for (const std::string& message : escaped_) problems.push_back("error box: " + message);
}

// The port closes by itself 200 ms after the last byte; when none ever came
// it stays open until the next request, which closes it as we do here.
inline void Harness::letPortClose(long answersSent, const Limits& limits, Problems& problems) {
  if (answersSent > 0) {
    QElapsedTimer closing;
    closing.start();
    while (port_.Active() && closing.elapsed() < 2 * kClosePortDelayMs + limits.slackMs + 500) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    if (port_.Active()) problems.push_back("the port stayed open after the last byte");
  }
  try {
    port_.Close();
  } catch (const std::exception& e) {
    problems.push_back(std::string("closing the port: ") + e.what());
  }
}

inline Outcome Harness::run(const Plan& plan, const Limits& limits) {
  Outcome out;
  QElapsedTimer clock;
  clock.start();
  stalls_.reset();
  devsim::DeviceSimulator device(plan.device);
  std::string error;
  if (!device.start(&error)) {
    out.problems.push_back("simulator did not start: " + error);
    return out;
  }
  ::setenv("LK24_COM1", device.slavePath().c_str(), 1);
  const Table before = device.eeprom();

  const Observed seen = drive(plan, device, clock, limits);
  out.transferSeconds = static_cast<double>(seen.endedMs) / 1000.0;
  if (seen.hung) {
    out.problems.push_back("no end after " + std::to_string(limits.runWaitMs) + " ms, at answer " +
                           std::to_string(answersTaken(seen.last)));
    link_.closeport();
  }
  const Table after = device.eeprom();
  const long answersSent = device.stats().bytesOut;
  judgeRequest(plan, seen, before, after, answersSent, limits, out);
  if ((plan.fault == Fault::Retry || plan.fault == Fault::StuckRetry) && out.problems.empty()) {
    letPortClose(answersSent, limits, out.problems);
    device.stop();
    retryWithoutFault(plan, before, after, clock, limits, out);
    out.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    out.stallMs = stalls_.longestMs();
    return out;
  }

  letPortClose(answersSent, limits, out.problems);
  device.stop();
  serveEventsFor(5);  // hand-overs and deferred deletions still queued
  out.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  out.stallMs = stalls_.longestMs();
  return out;
}

inline void Harness::judgeRequest(const Plan& plan, const Observed& seen, const Table& before, const Table& after,
                                  long answersSent, const Limits& limits, Outcome& out) {
  const Ending ending = classify(view_.entries);
  out.ending = ending.kind;
  out.summary = describe(view_.entries);
  judgeEnding(plan, seen, ending, describe(withoutBackupEntry(view_.entries)), answersSent, limits, out.problems);
  judgeReport(ending, image_, view_.entries, view_.plainLines, view_.beeps, out.problems);
  judgeWindow(out.problems);
  if (plan.program) {
    judgeProgrammedDevice(plan, seen, ending, image_, before, after, out.problems);
    judgeBackupAndImage(plan, seen, ending, image_, view_.entries, before, out.problems);
  } else {
    if (after != before) out.problems.push_back("a read changed the device");
    // After garbage the tool rightly holds what it took for answers.
    if (plan.fault != Fault::Garbage && ending.kind != Ending::TransferError &&
        ending.kind != Ending::LineDisturbed && image_.DeviceImage != after) {
      out.problems.push_back("the image read differs from the device");
    }
  }
}

// The same half-written device, its fault gone, and "Programmieren" again
// from what the tool now holds: the device must end with exactly the
// configuration the user asked for in the first place.
inline void Harness::retryWithoutFault(const Plan& plan, const Table& firstBefore, const Table& halfWritten,
                                       const QElapsedTimer& clock, const Limits& limits, Outcome& out) {
  Plan second = plan;
  second.fault = Fault::None;
  second.device.stopAfter.reset();
  second.device.stuckAt.reset();
  devsim::DeviceSimulator device(second.device);
  std::string error;
  if (!device.start(&error)) {
    out.problems.push_back("simulator did not start again: " + error);
    return;
  }
  device.setEeprom(halfWritten);
  ::setenv("LK24_COM1", device.slavePath().c_str(), 1);
  const Observed seen = drive(second, device, clock, limits, true);
  const Table after = device.eeprom();
  const long answersSent = device.stats().bytesOut;
  const std::string first = out.summary;
  judgeRequest(second, seen, halfWritten, after, answersSent, limits, out);
  out.summary = first + " || retry: " + out.summary;
  if (after != intendedImage(plan, firstBefore)) out.problems.push_back("the retry left another image in the device");
  letPortClose(answersSent, limits, out.problems);
  device.stop();
  serveEventsFor(5);
}

inline int stallLimitMs(const Plan& plan, const Limits& limits) {
  return plan.spareMs() / std::max(1, limits.stallDivisor);
}

inline Outcome Harness::runSteadily(const Plan& plan, const Limits& limits) {
  std::vector<std::string> stalledTries;
  for (int attempt = 1;; ++attempt) {
    Outcome out = run(plan, limits);
    out.attempts = attempt;
    const bool spoilt = !out.problems.empty() && out.stallMs >= stallLimitMs(plan, limits);
    if (!spoilt || attempt >= limits.attempts) {
      out.stalledTries = std::move(stalledTries);
      return out;
    }
    stalledTries.push_back("stall " + std::to_string(out.stallMs) + " ms: " + out.problems.front());
  }
}

}  // namespace lk24::soak
