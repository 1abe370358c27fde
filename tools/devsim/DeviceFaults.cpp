// The faults a real line or device shows, injected on request: answers
// disturbed by noise, bytes no command asked for, late answers. Image faults
// (checksum, firmware, protection) are applied when the image is built.
#include "tools/devsim/SimulatorState.h"

namespace lk24::devsim {

namespace {
constexpr int kMaxGarbage = 4096;
constexpr int kMaxLatencyMs = 60000;
constexpr int kMaxBaud = 4000000;
}  // namespace

std::string checkOptions(const Options& options) {
  auto outside = [](int value, int low, int high) { return value < low || value > high; };
  auto badAddress = [&](const std::optional<int>& address) { return address && outside(*address, 0, 255); };
  if (options.stopAfter && *options.stopAfter < 0) return "--stop-after: must not be negative";
  if (badAddress(options.wrongEchoAt)) return "--wrong-echo-at: address 0 to 255";
  if (badAddress(options.stuckAt)) return "--stuck-at: address 0 to 255";
  if (options.noisyAnswer && *options.noisyAnswer < 0) return "--noisy-answer: must not be negative";
  if (badAddress(options.noisyAt)) return "--noisy-at: address 0 to 255";
  if (options.extraAfter && *options.extraAfter < 0) return "--extra-after: must not be negative";
  if (options.lateExtraAfter && *options.lateExtraAfter < 0) return "--late-extra-after: must not be negative";
  if (options.dropAnswer && *options.dropAnswer < 0) return "--drop-answer: must not be negative";
  if (badAddress(options.dropAt)) return "--drop-at: address 0 to 255";
  if (options.wakeAnswer && outside(*options.wakeAnswer, 0, 255)) return "--wake-answer: 0 to 255";
  if (options.firmware && (outside(options.firmware->first, 0, 255) || outside(options.firmware->second, 0, 255))) {
    return "--firmware: M.N with M and N 0 to 255";
  }
  if (options.typeCode && outside(*options.typeCode, 0, 255)) return "--type-code: 0 to 255";
  if (outside(options.garbage, 0, kMaxGarbage)) return "--garbage: 0 to " + std::to_string(kMaxGarbage);
  if (outside(options.latencyMs, 0, kMaxLatencyMs)) return "--latency-ms: 0 to " + std::to_string(kMaxLatencyMs);
  if (outside(options.jitterMs, 0, kMaxLatencyMs)) return "--jitter-ms: 0 to " + std::to_string(kMaxLatencyMs);
  if (outside(options.garbagePercent, 0, 100)) return "--garbage-percent: 0 to 100";
  if (options.garbageFrom < 0) return "--garbage-from: must not be negative";
  if (outside(options.jitterPercent, 0, 100)) return "--jitter-percent: 0 to 100";
  if (outside(options.baud, 0, kMaxBaud)) return "--baud: 1 to " + std::to_string(kMaxBaud);
  for (const auto* path : {&options.imageFile, &options.saveFile, &options.traceFile, &options.linkPath}) {
    if (*path && (*path)->empty()) return "a file name must not be empty";
  }
  return {};
}

// Line noise: the device sent the right byte, the tool receives another.
std::uint8_t DeviceSimulator::Impl::disturbed(const Command& command, std::uint8_t reply, long answered) {
  if (options.noisyAnswer == answered) reply ^= 0xFF;
  if (options.noisyAt == command.address && command.kind == Command::Kind::Read && !noisyAtDone) {
    noisyAtDone = true;
    reply ^= 0xFF;
  }
  return reply;
}

// A byte lost on the line: the device answered, the tool hears nothing.
bool DeviceSimulator::Impl::lost(const Command& command, long answered) {
  if (options.dropAnswer == answered) return true;
  if (options.dropAt == command.address && command.kind == Command::Kind::Read && !dropAtDone) {
    dropAtDone = true;
    return true;
  }
  return false;
}

Clock::time_point DeviceSimulator::Impl::answerReady(Clock::time_point at) {
  Clock::time_point ready = at + std::chrono::milliseconds(options.latencyMs);
  if (options.jitterMs > 0 && happens(options.jitterPercent)) {
    ready += std::chrono::milliseconds(std::uniform_int_distribution<int>(0, options.jitterMs)(rng));
  }
  return ready;
}

void DeviceSimulator::Impl::queueGarbage(Clock::time_point ready, long answered) {
  if (options.garbage <= 0 || answered < options.garbageFrom || !happens(options.garbagePercent)) return;
  std::uniform_int_distribution<int> anyByte(0, 255);
  for (int i = 0; i < options.garbage; ++i) queue(static_cast<std::uint8_t>(anyByte(rng)), ready, false);
}

// A bouncing line or a device that sends its answer twice.
void DeviceSimulator::Impl::queueExtraByte(std::uint8_t reply, Clock::time_point ready, long answered) {
  if (options.extraAfter == answered) queue(reply, ready, false);
  if (options.lateExtraAfter == answered) lateCopy = reply;
}

// The same, but the copy comes late: once the tool has begun its next command.
void DeviceSimulator::Impl::queueLateCopy(std::uint8_t byte, Clock::time_point at) {
  if (!lateCopy || parser.midCommand() || byte == 0x00) return;
  queue(*lateCopy, at, false);
  lateCopy.reset();
}

// A device that wakes up talking: the first zero of a run outside a command
// gets one byte back. A silent or stopped device says nothing here either.
void DeviceSimulator::Impl::answerWakeUp(std::uint8_t byte, bool outsideCommand, Clock::time_point at) {
  const bool zeroOutside = byte == 0 && outsideCommand;
  const bool runStarts = zeroOutside && !inZeroRun;
  inZeroRun = zeroOutside;
  if (!runStarts || !options.wakeAnswer) return;
  {
    std::lock_guard lock(imageMutex);
    if (options.silent) return;
    if (options.stopAfter && counters.commands >= *options.stopAfter) return;
  }
  queue(static_cast<std::uint8_t>(*options.wakeAnswer), answerReady(at), false);
}

bool DeviceSimulator::Impl::happens(int percent) {
  // At 100 % nothing is drawn, so a seed gives the same garbage with or without a share.
  if (percent >= 100) return true;
  return std::uniform_int_distribution<int>(0, 99)(rng) < percent;
}

}  // namespace lk24::devsim
