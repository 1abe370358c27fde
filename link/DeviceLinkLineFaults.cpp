// What DeviceLink hears beyond the one answer a command asks for: bytes that
// come in together with an answer, a byte that comes after a pass's last
// answer, and commands that a cable sends back.

#include "link/DeviceLink.h"

#include "link/LinkTexts.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace lk24 {

namespace {
// Every command sent again comes back as well: the cable returns them all.
constexpr int kReturnedCommandsForLoopback = 3;
// Added to twice the slowest answer of the request: a copy of an answer
// comes within one exchange, and timers are only good to the millisecond.
constexpr std::chrono::milliseconds kQuietMargin{1};
// The port closes 200 ms after the last byte; the wait must end well before.
constexpr int kLongestQuietMs = kClosePortDelayMs / 2;

// Takes what the data event counted beyond the byte already read.
void takeRest(SerialLine& line, std::vector<std::uint8_t>& heard, std::int32_t count) {
  try {
    for (std::int32_t i = 1; i < count; ++i) heard.push_back(line.ReadChar());
  } catch (const std::exception&) {
    // Fewer than the event counted are left; what was heard decides.
  }
}
}  // namespace

void DeviceLink::noteAnswerTime() {
  slowestAnswer_ = std::max(slowestAnswer_, std::chrono::steady_clock::now() - sentAt_);
}

int DeviceLink::quietMs() const {
  const auto quiet = std::chrono::ceil<std::chrono::milliseconds>(2 * slowestAnswer_ + kQuietMargin).count();
  return static_cast<int>(std::min<long long>(quiet, kLongestQuietMs));
}

Pass DeviceLink::passNow() const {
  return state_.VerifyMode() ? Pass::Verify : state_.phase == Phase::Writing ? Pass::Write : Pass::Read;
}

int DeviceLink::lastAddressOfPass() const {
  return state_.phase == Phase::Writing ? addr::kLastWritten : kImageSize - 1;
}

void DeviceLink::afterQuiet(std::function<void()> next) {
  listening_ = Listening::ForQuiet;
  afterQuiet_ = std::move(next);
  responseTimer_->setEnabled(false);
  responseTimer_->setInterval(quietMs());
  responseTimer_->setEnabled(true);
}

bool DeviceLink::listenedLongEnough() {
  if (listening_ == Listening::No) return false;
  const Listening was = std::exchange(listening_, Listening::No);
  responseTimer_->setEnabled(false);
  responseTimer_->setInterval(kResponseTimeoutMs);
  if (was == Listening::ForReturnedCommand) {
    judgeReturnedCommand();
    return true;
  }
  try {
    std::exchange(afterQuiet_, nullptr)();
    // The wait was the link's own: the next answer keeps its full time before the port closes.
    if (transferRunning()) {
      closeTimer_->setEnabled(false);
      closeTimer_->setEnabled(true);
    }
  } catch (const std::exception& e) {
    // The next command could not be sent; from a timer nobody else would end the transfer.
    const int failed = state_.BytePos;
    result_.failedByte = failed;
    const bool programRun = state_.ProgramMode() || state_.VerifyMode();
    endTransfer(TransferEnding::TransferError);
    errorEntry(linktext::transferError(failed));
    noteEntry(e.what());
    if (programRun) restoreRequestedImage();
  }
  return true;
}

void DeviceLink::onListenedByte(std::uint8_t byte, std::int32_t count) {
  if (listening_ == Listening::ForQuiet) {
    endWithUnexpectedByte(count);
    return;
  }
  heard_.push_back(byte);
  takeRest(line_, heard_, count);
}

void DeviceLink::endWithUnexpectedByte(std::int32_t count) {
  // The rest of what came is of no interest: the line is not to be trusted.
  result_.extraBytes = std::max(count, 1);
  endWithLineFault(lastAddressOfPass(), linktext::unexpectedAnswer());
}

void DeviceLink::endWithLineFault(int failedByte, const std::string& note) {
  result_.failedByte = failedByte;
  result_.failedPass = passNow();
  const bool programRun = state_.ProgramMode() || state_.VerifyMode();
  endTransfer(TransferEnding::TransferError);
  errorEntry(linktext::transferError(failedByte));
  noteEntry(note);
  noteEntry(linktext::checkConnection());
  if (programRun) restoreRequestedImage();
}

void DeviceLink::onExtraBytes(std::uint8_t first, std::int32_t count) {
  std::vector<std::uint8_t> heard{first};
  takeRest(line_, heard, count);
  firstHeard_ = heard;
  // A cable that sends the command back holds its command and address, or
  // ends with the command byte while the address is still on its way; the
  // wake-up run's zeros may come back before it.
  const bool commandCameBack =
      lastCommand_.size() >= 2 &&
      (std::search(heard.begin(), heard.end(), lastCommand_.begin(), lastCommand_.begin() + 2) != heard.end() ||
       heard.back() == lastCommand_.front());
  const bool wakeUpCameBack = std::all_of(heard.begin(), heard.end(), [](std::uint8_t b) { return b == 0x00; });
  // A read may be asked again; a write is never sent twice.
  if ((commandCameBack || wakeUpCameBack) && lastCommand_.front() == command::kRead) {
    returnedCommands_ = commandCameBack ? 1 : 0;
    askAgainForReturnedCommand();
    return;
  }
  endWithExtraBytes();
}

void DeviceLink::askAgainForReturnedCommand() {
  heard_.clear();
  transmit(lastCommand_[0], lastCommand_[1]);
  listening_ = Listening::ForReturnedCommand;
  // Only the line fault is left to name: time enough for the slowest cable.
  responseTimer_->setEnabled(false);
  responseTimer_->setInterval(kLongestQuietMs);
  responseTimer_->setEnabled(true);
}

void DeviceLink::judgeReturnedCommand() {
  const bool cameBack =
      std::search(heard_.begin(), heard_.end(), lastCommand_.begin(), lastCommand_.begin() + 2) != heard_.end();
  if (!cameBack) {
    endWithExtraBytes();
    return;
  }
  if (++returnedCommands_ < kReturnedCommandsForLoopback) {
    try {
      askAgainForReturnedCommand();
      return;
    } catch (const std::exception&) {
      // The port failed under the question; what was heard so far decides.
    }
  }
  result_.loopback = returnedCommands_ >= kReturnedCommandsForLoopback;
  endWithExtraBytes();
}

void DeviceLink::endWithExtraBytes() {
  result_.extraBytes = static_cast<int>(firstHeard_.size()) - 1;
  endWithLineFault(state_.BytePos,
                   result_.loopback ? linktext::loopback() : linktext::extraBytes(static_cast<int>(firstHeard_.size())));
}

}  // namespace lk24
