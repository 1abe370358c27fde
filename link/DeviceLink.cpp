#include "link/DeviceLink.h"

#include "editor/DeviceIdentity.h"
#include "link/FolderBackupStore.h"
#include "link/LinkTexts.h"
#include "model/TemplateFormat.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <vector>

namespace lk24 {

namespace {
constexpr int kLastReadAddress = kImageSize - 1;  // a read pass fetches 0..255
constexpr int kComCount = 4;

std::unique_ptr<LinkTimer> required(std::unique_ptr<LinkTimer> timer) {
  if (!timer) throw std::invalid_argument("DeviceLink needs both of its timers");
  return timer;
}

// A view without the window's controls: there is nothing to switch.
class NoControls final : public LinkControls {
 public:
  void scrollLogToEnd() override {}
  void beep() override {}
  void setProgressPanelVisible(bool) override {}
  void setGaugeVisible(bool) override {}
  void setGaugeProgress(int) override {}
  void setActionText(const std::string&) override {}
  void setLeseButtonEnabled(bool) override {}
  void setProgButtonEnabled(bool) override {}
  void focusLeseButton() override {}
  void focusProgButton() override {}
  void setTransferMenuEnabled(bool) override {}
  void setComItemEnabled(int, bool) override {}
  void setComItemToolTip(int, const std::string&) override {}
  void setDeviceHighlight(DeviceHighlight) override {}
  void setEditingEnabled(bool) override {}
};

LinkControls& controlsOf(LinkView& view) {
  static NoControls none;
  LinkControls* controls = view.controls();
  return controls ? *controls : none;
}
}  // namespace

int gaugePercent(int pos, int last) {
  // Nearest integer; with last 255 or 247 no value falls on a half.
  return (200 * pos + last) / (2 * last);
}

int passPercent(Pass pass, int byte) {
  return gaugePercent(byte, pass == Pass::Write ? addr::kLastWritten : kLastReadAddress);
}

std::string passName(Pass pass) {
  switch (pass) {
    case Pass::Read:
      return linktext::actionRead();
    case Pass::Write:
      return linktext::actionWrite();
    case Pass::Verify:
      return linktext::actionVerify();
  }
  return {};
}

DeviceLink::DeviceLink(ConfigImage& image, LinkView& view, SerialLine& line,
                       std::unique_ptr<LinkTimer> responseTimer,
                       std::unique_ptr<LinkTimer> closeTimer)
    : image_(image),
      view_(view),
      controls_(controlsOf(view)),
      line_(line),
      responseTimer_(required(std::move(responseTimer))),
      closeTimer_(required(std::move(closeTimer))),
      backup_(std::make_unique<FolderBackupStore>(kTemplateFileName)) {
  responseTimer_->setEnabled(false);
  responseTimer_->setInterval(kResponseTimeoutMs);
  responseTimer_->setHandler([this] { RStimeoutTimer(); });
  closeTimer_->setEnabled(false);
  closeTimer_->setInterval(kClosePortDelayMs);
  closeTimer_->setHandler([this] { timercloseportTimer(); });
  line_.setDataHandler([this](SerialLine* sender, std::int32_t count) { RS232RxChar(sender, count); });
  line_.setHangUpHandler([this](const std::string& notice) { onHangUp(notice); });
}

DeviceLink::~DeviceLink() {
  line_.setDataHandler({});
  line_.setHangUpHandler({});
  responseTimer_->setHandler({});
  closeTimer_->setHandler({});
}

void DeviceLink::setBackupStore(std::unique_ptr<BackupStore> store) {
  if (store) backup_ = std::move(store);
}

bool DeviceLink::comAvailable(int comNumber) const {
  if (comNumber < 1 || comNumber > kComCount) return false;
  return comAvailable_[comNumber - 1];
}

// ---- log entries -----------------------------------------------------------

void DeviceLink::errorEntry(const std::string& text) {
  view_.showinfo(linktext::shown(text), LogColour::Red, entrystyle::kError);
}

void DeviceLink::infoEntry(const std::string& text) {
  view_.showinfo(linktext::shown(text), LogColour::Black, entrystyle::kInfo);
}

void DeviceLink::successEntry(const std::string& text) {
  view_.showinfo(linktext::shown(text), LogColour::Black, entrystyle::kSuccess);
}

void DeviceLink::noteEntry(const std::string& text) {
  view_.showinfo(linktext::shown(text), LogColour::Red, entrystyle::kNote);
}

// ---- requests --------------------------------------------------------------

void DeviceLink::read() {
  if (transferRunning()) return;
  beginResult(Request::Read);
  startRead();
}

void DeviceLink::compare() {
  if (transferRunning()) return;
  shownDetection_ = {transmitterDetected_, receiverDetected_};
  beginResult(Request::Compare);
  startRead();
  comparing_ = state_.ReadMode();  // false: the port would not open
}

void DeviceLink::startRead() {
  if (!openForRequest()) return;
  startFirstRead();
  state_.phase = Phase::Reading;
  closeTimer_->setEnabled(false);
}

void DeviceLink::program() {
  if (transferRunning()) return;
  view_.showdata();
  image_.FilterUserData();
  startProgramRun(Request::Program, image_.DeviceImage);
}

void DeviceLink::restore(const Table& backup) {
  if (transferRunning()) return;
  image_.DeviceImage = backup;
  startProgramRun(Request::Restore, backup);
}

bool DeviceLink::cancel() {
  // Only a read pass may be cut short: nothing has been written yet.
  if (!state_.ReadMode()) return false;
  endTransfer(TransferEnding::Interrupted);
  return true;
}

void DeviceLink::beginResult(Request request) {
  result_ = TransferResult{};
  result_.request = request;
}

void DeviceLink::deliverResult(TransferEnding ending) {
  result_.ending = ending;
  view_.transferEnded(result_);
}

bool DeviceLink::openForRequest() {
  if (setupport(line_.ComNumber())) {
    if (const std::string notice = line_.takeOpenNotice(); !notice.empty()) {
      view_.showinfo(linktext::shown(notice), LogColour::Black, entrystyle::kEmptyLineAfter);
    }
    return true;
  }
  controls_.beep();
  errorEntry(linktext::portOpenFailed());
  // Which device, why, and what to do about it.
  result_.portFailure = line_.openFailureReason();
  if (!result_.portFailure.empty()) noteEntry(result_.portFailure);
  deliverResult(TransferEnding::PortNotOpened);
  return false;
}

void DeviceLink::startFirstRead() {
  controls_.setGaugeVisible(true);
  controls_.setGaugeProgress(0);
  state_.BytePos = 0;
  slowestAnswer_ = {};
  returnedCommands_ = 0;
  try {
    for (int i = 0; i < command::kWakeUpLength; ++i) line_.WriteChar(0x00);
    // Whatever the wake-up run stirred up is not an answer.
    line_.PurgeRx();
    transmit(command::kRead, 0);
  } catch (...) {
    // No command is on its way, so no time-out would ever give the buttons
    // back: end the request here and let the error be shown.
    endTransfer(TransferEnding::TransferError);
    throw;
  }
}

void DeviceLink::selectPort(std::uint16_t number) {
  // Reassigning the number reopens an open port, which would cut a transfer off.
  if (transferRunning()) return;
  line_.setComNumber(number);
  view_.showdata();
}

bool DeviceLink::takePortNumber(std::uint16_t number) {
  if (transferRunning()) return false;
  // Closed first, the port keeps the new number without being reopened.
  closeTimer_->setEnabled(false);
  try {
    line_.Close();
  } catch (const std::exception&) {
    // An idle port that will not close is no reason to refuse the number.
  }
  line_.setComNumber(number);
  return true;
}

void DeviceLink::probePorts() {
  // The port belongs to the transfer; its COM items stay disabled until it ends.
  if (transferRunning()) return;
  const std::uint16_t remembered = line_.ComNumber();
  for (int n = 1; n <= kComCount; ++n) {
    bool opened = true;
    try {
      line_.Close();
      line_.setComNumber(static_cast<std::uint16_t>(n));
      line_.Open();
      line_.Close();
    } catch (const std::exception&) {
      opened = false;
    }
    comAvailable_[n - 1] = opened;
    controls_.setComItemEnabled(n, opened);
    controls_.setComItemToolTip(n, linktext::shown(opened ? line_.describePort(static_cast<std::uint16_t>(n))
                                                          : line_.openFailureReason()));
  }
  line_.setComNumber(remembered);
}

// ---- port and commands -----------------------------------------------------

bool DeviceLink::setupport(std::uint16_t Number) {
  try {
    line_.setComNumber(Number);
    line_.Close();
    line_.Open();
    line_.PurgeRx();
    line_.PurgeTx();
  } catch (const std::exception&) {
    return false;
  }
  state_.BytePos = 0;
  setRequestControlsEnabled(false);
  return true;
}

void DeviceLink::setRequestControlsEnabled(bool enabled) {
  controls_.setLeseButtonEnabled(enabled);
  controls_.setProgButtonEnabled(enabled);
  controls_.setTransferMenuEnabled(enabled);
  controls_.setEditingEnabled(enabled);
  for (int n = 1; n <= kComCount; ++n) controls_.setComItemEnabled(n, enabled && comAvailable_[n - 1]);
}

void DeviceLink::transmit(std::uint8_t commandByte, std::uint8_t address, std::uint8_t data) {
  controls_.setProgressPanelVisible(true);
  lastCommand_ = {commandByte, address};
  sentAt_ = std::chrono::steady_clock::now();
  if (commandByte == command::kWrite) lastCommand_.push_back(data);
  line_.WriteChar(commandByte);
  line_.WriteChar(address);
  if (commandByte == command::kWrite) line_.WriteChar(data);
  responseTimer_->setEnabled(false);
  responseTimer_->setInterval(kResponseTimeoutMs);
  responseTimer_->setEnabled(true);
}

void DeviceLink::closeport() { endTransfer(TransferEnding::Interrupted); }

void DeviceLink::endTransfer(TransferEnding ending) {
  if (comparing_) {
    // However the comparison ended, the window keeps the device it showed.
    comparing_ = false;
    transmitterDetected_ = shownDetection_[0];
    receiverDetected_ = shownDetection_[1];
    controls_.setDeviceHighlight(transmitterDetected_ ? DeviceHighlight::Transmitter
                                 : receiverDetected_  ? DeviceHighlight::Receiver
                                                      : DeviceHighlight::None);
  }
  state_.Second = SecondRead::None;
  state_.phase = Phase::Idle;
  listening_ = Listening::No;
  afterQuiet_ = nullptr;
  controls_.setGaugeVisible(false);
  responseTimer_->setEnabled(false);
  setRequestControlsEnabled(true);
  controls_.setActionText(std::string());
  controls_.setProgressPanelVisible(false);
  deliverResult(ending);
}

// ---- receiving -------------------------------------------------------------

void DeviceLink::RS232RxChar(SerialLine* /*Sender*/, std::int32_t Count) {
  // Nothing waiting (the bytes were purged after the event was raised):
  // reading would only fail.
  if (Count <= 0) return;
  closeTimer_->setEnabled(false);
  closeTimer_->setEnabled(true);
  // What comes back must not purge the command sent again to see whether it comes back too.
  if (listening_ != Listening::ForReturnedCommand) line_.PurgeTx();
  const std::uint8_t byte = line_.ReadChar();
  if (transferRunning()) {
    if (listening_ != Listening::No) {
      onListenedByte(byte, Count);
      return;
    }
    noteAnswerTime();
    // Stop-and-wait leaves at most one answer waiting: a second byte is not the device's.
    if (Count > 1) {
      onExtraBytes(byte, Count);
      return;
    }
  }
  switch (state_.phase) {
    case Phase::Verifying:
      onVerifyByte(byte);
      break;
    case Phase::Reading:
    case Phase::PreReading:
      if (state_.Second == SecondRead::DeviceBytes) {
        onRereadByte(byte);
      } else {
        onReadByte(byte);
      }
      break;
    case Phase::Writing:
      onWriteEcho(byte);
      break;
    case Phase::Idle:
      break;  // the byte is dropped
  }
}

void DeviceLink::onReadByte(std::uint8_t byte) {
  transmitterDetected_ = false;
  receiverDetected_ = false;
  if (takeReadAnswer(image_.ReadBuffer, Pass::Read, byte)) return;
  afterQuiet([this] { readPassComplete(); });
}

bool DeviceLink::takeReadAnswer(Table& into, Pass pass, std::uint8_t byte) {
  view_.progress(pass, state_.BytePos);
  into[state_.BytePos] = byte;
  ++state_.BytePos;
  if (state_.BytePos > kLastReadAddress) return false;
  transmit(command::kRead, static_cast<std::uint8_t>(state_.BytePos));
  return true;
}

void DeviceLink::readPassComplete() {
  result_.deviceImage = image_.ReadBuffer;
  if (state_.Second == SecondRead::WholeImage) {
    finishSecondRead();
    return;
  }
  if (calculatechecksum(image_.ReadBuffer) != image_.ReadBuffer[addr::kChecksum]) {
    // A wrong checksum is the device's fault only when a second read agrees;
    // a pre-read's disturbed byte would otherwise go into the backup.
    firstRead_ = image_.ReadBuffer;
    state_.Second = SecondRead::WholeImage;
    state_.BytePos = 0;
    transmit(command::kRead, 0);
    return;
  }
  finishReadPass();
}

void DeviceLink::finishReadPass() {
  const bool programRun = state_.phase == Phase::PreReading;
  // Between passes: a read is over, a program run goes on to write.
  state_.phase = programRun ? Phase::Writing : Phase::Idle;
  if (comparing_) {
    finishComparison();
    return;
  }
  image_.DeviceImage = image_.ReadBuffer;
  if (programRun) {
    finishPreRead();
  } else {
    finishRead();
  }
}

void DeviceLink::finishSecondRead() {
  state_.Second = SecondRead::None;
  for (int a = 0; a <= kLastReadAddress; ++a) {
    if (image_.ReadBuffer[a] != firstRead_[a]) {
      // The DeviceImage stays as it was: neither read can be trusted.
      const bool programRun = state_.phase == Phase::PreReading;
      endWithDisturbedLine(a, firstRead_[a], image_.ReadBuffer[a]);
      if (programRun) restoreRequestedImage();
      return;
    }
  }
  finishReadPass();
}

void DeviceLink::endWithDisturbedLine(int address, int first, int second) {
  result_.disturbance = {address, first, second};
  result_.failedByte = address;
  result_.failedPass = Pass::Read;
  endTransfer(TransferEnding::DisturbedLine);
  errorEntry(linktext::transferError(address));
  noteEntry(linktext::readsDiffer(address, first, second));
  noteEntry(linktext::checkConnection());
}

void DeviceLink::finishRead() {
  reportReadChecks();
  endTransfer(TransferEnding::Done);
  view_.showdata();
  controls_.setLeseButtonEnabled(true);
  controls_.focusLeseButton();
}

void DeviceLink::reportReadChecks() {
  if (calculatechecksum(image_.DeviceImage) == image_.DeviceImage[addr::kChecksum]) {
    successEntry(linktext::readDone());
    geraetdetect();
  } else {
    errorEntry(linktext::checksumWrong());
  }
  if (!checkfirmware()) errorEntry(linktext::firmwareMismatch());
}

void DeviceLink::finishComparison() {
  // The checks look at the DeviceImage: lend it the device's image for them.
  const Table shown = image_.DeviceImage;
  image_.DeviceImage = image_.ReadBuffer;
  reportReadChecks();
  image_.DeviceImage = shown;
  endTransfer(TransferEnding::Done);
  controls_.setLeseButtonEnabled(true);
  controls_.focusLeseButton();
}

// ---- timers ----------------------------------------------------------------

void DeviceLink::RStimeoutTimer() {
  if (listenedLongEnough()) return;
  const bool programRun = state_.ProgramMode() || state_.VerifyMode();
  result_.failedByte = state_.BytePos;
  result_.failedPass = passNow();
  endTransfer(TransferEnding::TransferError);
  errorEntry(linktext::transferError(state_.BytePos));
  if (state_.BytePos == 0) {
    noteEntry(linktext::checkConnection());
    if (const std::string hint = line_.noAnswerHint(); !hint.empty()) noteEntry(hint);
  }
  if (programRun) restoreRequestedImage();
}

void DeviceLink::onHangUp(const std::string& notice) {
  // The port has closed itself; a transfer on it ends now, not at its time-out,
  // even where it was only listening: a line that went away was not quiet.
  if (transferRunning()) {
    listening_ = Listening::No;
    RStimeoutTimer();
  }
  if (!notice.empty()) noteEntry(notice);
}

void DeviceLink::timercloseportTimer() {
  closeTimer_->setEnabled(false);
  try {
    line_.Close();
  } catch (const std::exception&) {
    // The line is going away anyway; nothing the user could act on.
  }
}

// ---- device identity -------------------------------------------------------

bool DeviceLink::checkfirmware() const { return firmwareSupported(image_.DeviceImage); }

void DeviceLink::geraetdetect() {
  switch (deviceKind(image_.DeviceImage)) {
    case DeviceKind::Transmitter:
      view_.appendPlainLine(linktext::shown(linktext::transmitterRecognised()));
      transmitterDetected_ = true;
      controls_.setDeviceHighlight(DeviceHighlight::Transmitter);
      break;
    case DeviceKind::Receiver:
      view_.appendPlainLine(linktext::shown(linktext::receiverRecognised()));
      receiverDetected_ = true;
      controls_.setDeviceHighlight(DeviceHighlight::Receiver);
      break;
    case DeviceKind::Unknown:
      controls_.setDeviceHighlight(DeviceHighlight::None);
      break;
  }
  view_.appendPlainLine(std::string());
  controls_.scrollLogToEnd();
}

}  // namespace lk24
