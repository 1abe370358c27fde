#include "link/DeviceLink.h"

#include "editor/DeviceIdentity.h"
#include "link/FolderBackupStore.h"
#include "link/LinkTexts.h"
#include "link/WriteImage.h"
#include "model/NumberText.h"
#include "model/TemplateFormat.h"

#include <chrono>
#include <exception>
#include <stdexcept>
#include <vector>

namespace lk24 {

namespace {
constexpr int kLastReadAddress = kImageSize - 1;  // a read pass fetches 0..255
constexpr int kComCount = 4;
// Write protection, the serial numbers and the type and firmware: what a
// program run takes from the device or decides by.
constexpr std::array<int, 8> kDeviceBytes{addr::kWriteProtect,         addr::kReceiverSerialHigh,
                                          addr::kReceiverSerialLow,    addr::kTransmitterSerialHigh,
                                          addr::kTransmitterSerialLow, addr::kDeviceType,
                                          addr::kFirmwareMajor,        addr::kFirmwareMinor};

std::string describeDevice(const Table& image) {
  std::string type = "Gerät";
  switch (deviceKind(image)) {
    case DeviceKind::Transmitter:
      type = "Sender";
      break;
    case DeviceKind::Receiver:
      type = "Empfänger";
      break;
    case DeviceKind::Unknown:
      break;
  }
  return type + ' ' + zeroPadded(serialNumberOf(image), 5);
}

std::unique_ptr<LinkTimer> required(std::unique_ptr<LinkTimer> timer) {
  if (!timer) throw std::invalid_argument("DeviceLink needs both of its timers");
  return timer;
}
}  // namespace

int gaugePercent(int pos, int last) {
  // Nearest integer; with last 255 or 247 no value falls on a half.
  return (200 * pos + last) / (2 * last);
}

DeviceLink::DeviceLink(ConfigImage& image, LinkView& view, SerialLine& line,
                       std::unique_ptr<LinkTimer> responseTimer,
                       std::unique_ptr<LinkTimer> closeTimer)
    : image_(image),
      view_(view),
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
  view_.showinfo(text, LogColour::Red, entrystyle::kError);
}

void DeviceLink::infoEntry(const std::string& text) {
  view_.showinfo(text, LogColour::Black, entrystyle::kInfo);
}

void DeviceLink::successEntry(const std::string& text) {
  view_.showinfo(text, LogColour::Black, entrystyle::kSuccess);
}

void DeviceLink::noteEntry(const std::string& text) {
  view_.showinfo(text, LogColour::Red, entrystyle::kNote);
}

// ---- requests --------------------------------------------------------------

void DeviceLink::LeseButtonClick() {
  if (transferRunning()) return;
  if (!openForRequest()) return;
  startFirstRead();
  state_.ReadMode = true;
  state_.ProgramMode = false;
  state_.VerifyMode = false;
  closeTimer_->setEnabled(false);
}

void DeviceLink::CompareClick() {
  if (transferRunning()) return;
  shownDetection_ = {transmitterDetected_, receiverDetected_};
  LeseButtonClick();
  comparing_ = state_.ReadMode;  // false: the port would not open
}

void DeviceLink::ProgButtonClick() {
  if (transferRunning()) return;
  view_.showdata();
  image_.FilterUserData();
  startProgramRun(image_.DeviceImage, false);
}

void DeviceLink::RestoreRequest(const Table& backup) {
  if (transferRunning()) return;
  image_.DeviceImage = backup;
  startProgramRun(backup, true);
}

void DeviceLink::startProgramRun(const Table& requested, bool exact) {
  requested_ = requested;
  for (int a = 0; a <= addr::kLastWritten; ++a) image_.WriteImage[a] = requested[a];
  if (!view_.confirm(linktext::confirmOverwrite())) {
    errorEntry(linktext::programCancelled());
    return;
  }
  if (!openForRequest()) return;
  exactRun_ = exact;
  startFirstRead();
  // VerifyMode is already clear: it is only ever set while a transfer runs.
  state_.ReadMode = true;
  state_.ProgramMode = true;
  closeTimer_->setEnabled(false);
}

bool DeviceLink::openForRequest() {
  if (setupport(line_.ComNumber())) {
    if (const std::string notice = line_.takeOpenNotice(); !notice.empty()) {
      view_.showinfo(notice, LogColour::Black, entrystyle::kEmptyLineAfter);
    }
    return true;
  }
  view_.beep();
  errorEntry(linktext::portOpenFailed());
  // Which device, why, and what to do about it.
  if (const std::string reason = line_.openFailureReason(); !reason.empty()) noteEntry(reason);
  return false;
}

void DeviceLink::startFirstRead() {
  view_.setGaugeVisible(true);
  view_.setGaugeProgress(0);
  state_.BytePos = 0;
  try {
    for (int i = 0; i < command::kWakeUpLength; ++i) line_.WriteChar(0x00);
    // Whatever the wake-up run stirred up is not an answer.
    line_.PurgeRx();
    transmit(command::kRead, 0);
  } catch (...) {
    // No command is on its way, so no time-out would ever give the buttons
    // back: end the request here and let the error be shown.
    closeport();
    throw;
  }
}

void DeviceLink::choosePort(std::uint16_t number) {
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

void DeviceLink::MKommunikationClick() {
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
    view_.setComItemEnabled(n, opened);
    view_.setComItemToolTip(n, opened ? line_.describePort(static_cast<std::uint16_t>(n))
                                      : line_.openFailureReason());
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
  view_.setLeseButtonEnabled(enabled);
  view_.setProgButtonEnabled(enabled);
  view_.setTransferMenuEnabled(enabled);
  view_.setEditingEnabled(enabled);
  for (int n = 1; n <= kComCount; ++n) view_.setComItemEnabled(n, enabled && comAvailable_[n - 1]);
}

void DeviceLink::transmit(std::uint8_t commandByte, std::uint8_t address, std::uint8_t data) {
  view_.setProgressPanelVisible(true);
  line_.WriteChar(commandByte);
  line_.WriteChar(address);
  if (commandByte == command::kWrite) line_.WriteChar(data);
  responseTimer_->setEnabled(false);
  responseTimer_->setInterval(kResponseTimeoutMs);
  responseTimer_->setEnabled(true);
}

void DeviceLink::closeport() {
  if (comparing_) {
    // However the comparison ended, the window keeps the device it showed.
    comparing_ = false;
    transmitterDetected_ = shownDetection_[0];
    receiverDetected_ = shownDetection_[1];
    view_.setDeviceHighlight(transmitterDetected_ ? DeviceHighlight::Transmitter
                             : receiverDetected_  ? DeviceHighlight::Receiver
                                                  : DeviceHighlight::None);
  }
  state_.Second = SecondRead::None;
  state_.ReadMode = false;
  state_.ProgramMode = false;
  state_.VerifyMode = false;
  view_.setGaugeVisible(false);
  responseTimer_->setEnabled(false);
  setRequestControlsEnabled(true);
  view_.setActionText(std::string());
  view_.setProgressPanelVisible(false);
  view_.transferEnded();
}

// ---- receiving -------------------------------------------------------------

void DeviceLink::RS232RxChar(SerialLine* /*Sender*/, std::int32_t Count) {
  // Nothing waiting (the bytes were purged after the event was raised):
  // reading would only fail.
  if (Count <= 0) return;
  closeTimer_->setEnabled(false);
  closeTimer_->setEnabled(true);
  line_.PurgeTx();
  const std::uint8_t byte = line_.ReadChar();
  if (state_.VerifyMode) {
    onVerifyByte(byte);
  } else if (state_.ReadMode && state_.Second == SecondRead::DeviceBytes) {
    onRereadByte(byte);
  } else if (state_.ReadMode) {
    onReadByte(byte);
  } else if (state_.ProgramMode) {
    onWriteEcho(byte);
  }
  // Idle: the byte is dropped.
}

void DeviceLink::onReadByte(std::uint8_t byte) {
  transmitterDetected_ = false;
  receiverDetected_ = false;
  view_.setActionText(linktext::actionRead());
  view_.setGaugeProgress(gaugePercent(state_.BytePos, kLastReadAddress));
  image_.ReadBuffer[state_.BytePos] = byte;
  ++state_.BytePos;
  if (state_.BytePos <= kLastReadAddress) {
    transmit(command::kRead, static_cast<std::uint8_t>(state_.BytePos));
    return;
  }
  if (state_.Second == SecondRead::WholeImage) {
    finishSecondRead();
    return;
  }
  if (!state_.ProgramMode && calculatechecksum(image_.ReadBuffer) != image_.ReadBuffer[addr::kChecksum]) {
    // A wrong checksum is the device's fault only when a second read agrees.
    firstRead_ = image_.ReadBuffer;
    state_.Second = SecondRead::WholeImage;
    state_.BytePos = 0;
    transmit(command::kRead, 0);
    return;
  }
  finishReadPass();
}

void DeviceLink::finishReadPass() {
  state_.ReadMode = false;
  if (comparing_) {
    finishComparison();
    return;
  }
  image_.DeviceImage = image_.ReadBuffer;
  if (state_.ProgramMode) {
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
      endWithDisturbedLine(a, firstRead_[a], image_.ReadBuffer[a]);
      return;
    }
  }
  finishReadPass();
}

void DeviceLink::endWithDisturbedLine(int address, int first, int second) {
  closeport();
  errorEntry(linktext::transferError(address));
  noteEntry(linktext::readsDiffer(address, first, second));
  noteEntry(linktext::checkConnection());
}

void DeviceLink::finishRead() {
  reportReadChecks();
  closeport();
  view_.showdata();
  view_.setLeseButtonEnabled(true);
  view_.focusLeseButton();
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
  closeport();
  view_.deviceCompared(image_.ReadBuffer);
  view_.setLeseButtonEnabled(true);
  view_.focusLeseButton();
}

void DeviceLink::finishPreRead() {
  // Both checks are made so that the user learns every reason at once.
  bool refused = false;
  if (!checkfirmware()) {
    errorEntry(linktext::firmwareMismatch());
    refused = true;
  }
  if (image_.DeviceImage[addr::kWriteProtect] & 0x01) {
    errorEntry(linktext::writeProtected());
    refused = true;
  }
  if (!refused && exactRun_ && !isBackupsDevice()) refused = true;
  if (refused) {
    view_.beep();
    closeport();
    restoreRequestedImage();
    return;
  }
  // The bytes taken from the device are read once more before anything is
  // written; a disturbed answer must not become its serial number.
  state_.ReadMode = true;
  state_.Second = SecondRead::DeviceBytes;
  state_.SecondIndex = 0;
  state_.BytePos = kDeviceBytes[0];
  transmit(command::kRead, static_cast<std::uint8_t>(state_.BytePos));
}

bool DeviceLink::isBackupsDevice() {
  const Table& device = image_.DeviceImage;
  if (deviceKind(device) == deviceKind(requested_) && serialNumberOf(device) == serialNumberOf(requested_)) {
    return true;
  }
  errorEntry(linktext::otherDevice(describeDevice(requested_), describeDevice(device)));
  return false;
}

void DeviceLink::onRereadByte(std::uint8_t byte) {
  const int address = kDeviceBytes[state_.SecondIndex];
  if (byte != image_.ReadBuffer[address]) {
    endWithDisturbedLine(address, image_.ReadBuffer[address], byte);
    restoreRequestedImage();
    return;
  }
  if (++state_.SecondIndex < static_cast<int>(kDeviceBytes.size())) {
    state_.BytePos = kDeviceBytes[state_.SecondIndex];
    transmit(command::kRead, static_cast<std::uint8_t>(state_.BytePos));
    return;
  }
  state_.Second = SecondRead::None;
  state_.ReadMode = false;
  startWritePass();
}

void DeviceLink::startWritePass() {
  // Nothing is written to a device whose previous image could not be kept.
  const bool saved = backUpDevice();
  // Writing the backup may outlast the 200 ms the port stays open after the
  // last byte; counted from here, the port cannot close under the first write.
  closeTimer_->setEnabled(false);
  closeTimer_->setEnabled(true);
  if (!saved) {
    view_.beep();
    closeport();
    restoreRequestedImage();
    return;
  }
  // A backup goes back as it was taken, checksum byte included.
  if (!exactRun_) completeWriteImage(image_.WriteImage, image_.DeviceImage);
  state_.BytePos = 0;
  transmit(command::kWrite, 0, image_.WriteImage[0]);
}

bool DeviceLink::backUpDevice() {
  const Table& asRead = image_.ReadBuffer;
  BackupDeviceType type = BackupDeviceType::Unknown;
  switch (deviceKind(asRead)) {
    case DeviceKind::Transmitter:
      type = BackupDeviceType::Transmitter;
      break;
    case DeviceKind::Receiver:
      type = BackupDeviceType::Receiver;
      break;
    case DeviceKind::Unknown:
      break;
  }
  const int serial = serialNumberOf(asRead);
  BackupResult result;
  try {
    result = backup_->store(
        makeDeviceBackup(asRead, image_, type, serial, line_.ComNumber(), std::chrono::system_clock::now()));
  } catch (const std::exception& e) {
    result = BackupResult{false, std::string(), e.what()};
  }
  if (!result.saved) {
    errorEntry(linktext::backupFailed(result.reason));
    return false;
  }
  infoEntry(linktext::backupSaved(result.path));
  return true;
}

void DeviceLink::restoreRequestedImage() {
  // A retry must write what the user asked for, not the device's old image.
  image_.DeviceImage = requested_;
  view_.showdata();
}

void DeviceLink::onWriteEcho(std::uint8_t byte) {
  // A wrong echo is not answered; a right one may still follow before the time-out.
  if (byte != image_.WriteImage[state_.BytePos]) return;
  view_.setActionText(linktext::actionWrite());
  view_.setGaugeProgress(gaugePercent(state_.BytePos, addr::kLastWritten));
  ++state_.BytePos;
  if (state_.BytePos <= addr::kLastWritten) {
    transmit(command::kWrite, static_cast<std::uint8_t>(state_.BytePos),
             image_.WriteImage[state_.BytePos]);
    return;
  }
  state_.BytePos = 0;
  transmit(command::kRead, 0);
  state_.ReadMode = false;
  state_.ProgramMode = false;
  state_.VerifyMode = true;
}

void DeviceLink::onVerifyByte(std::uint8_t byte) {
  view_.setActionText(linktext::actionVerify());
  view_.setGaugeProgress(gaugePercent(state_.BytePos, kLastReadAddress));
  image_.DeviceImage[state_.BytePos] = byte;
  ++state_.BytePos;
  if (state_.BytePos <= kLastReadAddress) {
    transmit(command::kRead, static_cast<std::uint8_t>(state_.BytePos));
    return;
  }
  // A backup written back is compared over every byte it wrote.
  const int lastCompared = exactRun_ ? addr::kLastWritten : addr::kLastCompared;
  std::vector<std::string> differences;
  for (int a = 0; a <= lastCompared; ++a) {
    if (image_.DeviceImage[a] != image_.WriteImage[a]) {
      errorEntry(linktext::verifyDifference());
      differences.push_back(linktext::verifyDetail(a, image_.DeviceImage[a], image_.WriteImage[a]));
    }
  }
  if (!differences.empty()) {
    noteEntry(linktext::verifyDetails(differences));
    view_.beep();
    // A retry must write the user's image, not the read-back.
    closeport();
    restoreRequestedImage();
    return;
  }
  successEntry(linktext::programDone());
  geraetdetect();
  view_.setProgButtonEnabled(true);
  view_.focusProgButton();
  closeport();
  view_.showdata();
}

// ---- timers ----------------------------------------------------------------

void DeviceLink::RStimeoutTimer() {
  const bool programRun = state_.ProgramMode || state_.VerifyMode;
  closeport();
  errorEntry(linktext::transferError(state_.BytePos));
  if (state_.BytePos == 0) {
    noteEntry(linktext::checkConnection());
    if (const std::string hint = line_.noAnswerHint(); !hint.empty()) noteEntry(hint);
  }
  if (programRun) restoreRequestedImage();
}

void DeviceLink::onHangUp(const std::string& notice) {
  // The port has closed itself; a transfer on it ends now, not at its time-out.
  if (transferRunning()) RStimeoutTimer();
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
      view_.appendPlainLine(linktext::transmitterRecognised());
      transmitterDetected_ = true;
      view_.setDeviceHighlight(DeviceHighlight::Transmitter);
      break;
    case DeviceKind::Receiver:
      view_.appendPlainLine(linktext::receiverRecognised());
      receiverDetected_ = true;
      view_.setDeviceHighlight(DeviceHighlight::Receiver);
      break;
    case DeviceKind::Unknown:
      view_.setDeviceHighlight(DeviceHighlight::None);
      break;
  }
  view_.appendPlainLine(std::string());
  view_.scrollLogToEnd();
}

}  // namespace lk24
