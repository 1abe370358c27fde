#include "bench/SoakRun.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>

namespace lk24::soak {

const char* faultName(Fault f) {
  static constexpr std::array<const char*, kFaultKinds> names = {
      "none",  "jitter", "stop-after",  "wrong-echo",     "garbage",
      "bad-checksum", "vanish", "retry", "stuck-retry", "noisy-pre-read"};
  return names[static_cast<int>(f)];
}
std::optional<Fault> faultNamed(const std::string& name) {
  for (int k = 0; k < kFaultKinds; ++k) {
    if (name == faultName(static_cast<Fault>(k))) return static_cast<Fault>(k);
  }
  return std::nullopt;
}

Plan planRun(unsigned seed, std::optional<Fault> forced) {
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
      plan.device.stuckAt = below(addr::kLastWritten + 1);
      break;
    case Fault::NoisyPreRead:
      plan.program = true;
      plan.device.noisyAt = below(kImageSize);
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

namespace {

// The user's image after the merge: what a program run sets out to write,
// and what the tool must hold again after a run that did not complete.
Table mergedUserImage(const Plan& plan) {
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
Table intendedImage(const Plan& plan, const Table& deviceBefore) {
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
bool cellRefusesItsByte(const Plan& plan) {
  if (!plan.device.stuckAt) return false;
  const Table before = devsim::defaultImage(plan.device.type);
  return intendedImage(plan, before)[*plan.device.stuckAt] != before[*plan.device.stuckAt];
}

int entriesIn(const char* directory) {
  DIR* dir = ::opendir(directory);
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count;
}

}  // namespace

Resources sampleResources() {
  Resources r;
  r.descriptors = entriesIn("/proc/self/fd") - 1;  // without the one listing it
  r.threads = entriesIn("/proc/self/task");
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) r.rssKb = std::atol(line.c_str() + 6);
  }
  return r;
}

int answersTaken(const TransferState& s) {
  if (s.VerifyMode()) return kVerifyPassStart + s.BytePos;
  if (s.ProgramMode() && !s.ReadMode()) return kWritePassStart + s.BytePos;
  if (s.Second == SecondRead::DeviceBytes) return kReadAnswers + s.SecondIndex;
  if (s.Second == SecondRead::WholeImage) return kReadAnswers + s.BytePos;
  return s.BytePos;
}

namespace {

// Whether the log's ending is the one the fault demands, and came in time.
void judgeEnding(const Plan& plan, const Observed& seen, const Ending& ending, const std::string& log,
                        long answersSent, const Limits& limits, Problems& problems) {
  auto fail = [&problems](const std::string& what) { problems.push_back(what); };
  const bool transferError = ending.kind == Ending::TransferError;
  const int reached = answersTaken(seen.last);
  if (ending.hungUp && plan.fault != Fault::Vanish) fail("a hang-up reported, but the line was not pulled");
  if (transferError && !ending.hungUp) {
    // The time-out ends a stalled request half a second after the last
    // command; bytes beyond the answer end it at once.
    if (!ending.extraBytes && (seen.quietMs < kResponseTimeoutMs - 10 || seen.quietMs > kResponseTimeoutMs + limits.slackMs)) {
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
    case Fault::NoisyPreRead:
      // Either ending is right; the device and the backup judge the rest.
      if (ending.kind == Ending::LineDisturbed) return;
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
void judgeReport(const Ending& ending, const ConfigImage& tool, const std::vector<Entry>& entries,
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
    const std::size_t listed = verify.back().text.count(QStringLiteral(": Gerät "));
    const std::size_t counted = verify.back().text.section(QLatin1Char(' '), 0, 0).toUInt();
    if (counted != listed || listed == 0) {
      problems.push_back(std::to_string(counted) + " differences counted for " + std::to_string(listed) + " listed");
    }
  }
}

// Whether the device holds what the ending says: untouched by a read or a
// refused run, the intended image after success or a failed verify pass, and
// after a failed write pass the intended bytes below the reported one.
void judgeProgrammedDevice(const Plan& plan, const Observed& seen, const Ending& ending,
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
void judgeBackupAndImage(const Plan& plan, const Observed& seen, const Ending& ending, const ConfigImage& tool,
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

}  // namespace

void serveEventsFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

Observed Harness::drive(const Plan& plan, devsim::DeviceSimulator& device, const QElapsedTimer& clock,
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
  // A request the link ends at once (more bytes than one answer) may end
  // between two looks at its state: the result says where it stood.
  if (view_.result && view_.result->ending == TransferEnding::TransferError) {
    const Pass pass = view_.result->failedPass;
    seen.last.phase = pass == Pass::Verify  ? Phase::Verifying
                      : pass == Pass::Write ? Phase::Writing
                      : plan.program        ? Phase::PreReading
                                            : Phase::Reading;
    if (pass != Pass::Read) seen.last.Second = SecondRead::None;
    seen.last.BytePos = view_.result->failedByte;
  }
  seen.endedMs = clock.elapsed();
  seen.quietMs = std::chrono::duration_cast<std::chrono::milliseconds>(view_.endedAt - view_.lastCommandAt).count();
  return seen;
}

void Harness::judgeWindow(Problems& problems) const {
  if (link_.transferRunning()) problems.push_back("the link is not idle");
  if (!view_.leseEnabled || !view_.progEnabled) problems.push_back("a request button stayed disabled");
  if (!view_.idle()) problems.push_back("the progress display or the menu stayed as during a transfer");
  for (const std::string& message : escaped_) problems.push_back("error box: " + message);
}

void Harness::letPortClose(long answersSent, const Limits& limits, Problems& problems) {
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

Outcome Harness::run(const Plan& plan, const Limits& limits) {
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

void Harness::judgeRequest(const Plan& plan, const Observed& seen, const Table& before, const Table& after,
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
    if (plan.fault == Fault::NoisyPreRead && !out.problems.empty()) {
      out.problems.push_back("the disturbed answer was that for byte " + std::to_string(*plan.device.noisyAt));
    }
  } else {
    if (after != before) out.problems.push_back("a read changed the device");
    // After garbage the tool rightly holds what it took for answers.
    if (plan.fault != Fault::Garbage && ending.kind != Ending::TransferError &&
        ending.kind != Ending::LineDisturbed && image_.DeviceImage != after) {
      out.problems.push_back("the image read differs from the device");
    }
  }
}

void Harness::retryWithoutFault(const Plan& plan, const Table& firstBefore, const Table& halfWritten,
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

namespace {

int stallLimitMs(const Plan& plan, const Limits& limits) {
  return plan.spareMs() / std::max(1, limits.stallDivisor);
}

}  // namespace

Outcome Harness::runSteadily(const Plan& plan, const Limits& limits) {
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
