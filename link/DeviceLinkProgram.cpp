// The program run of DeviceLink: the checks after its pre-read, the second
// read of the device's own bytes, the backup, the write pass and the verify.

#include "link/DeviceLink.h"

#include "editor/DeviceIdentity.h"
#include "link/LinkTexts.h"
#include "link/WriteImage.h"
#include "model/NumberText.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

namespace lk24 {

namespace {
constexpr int kLastReadAddress = kImageSize - 1;
// Read once more after the pre-read, before anything is written: write
// protection and the serial numbers (a program run takes them from the
// device or decides by them), and every byte the checksum does not cover
// (240 to 255: kept in the backup, type and firmware, and what the verify
// expects above the bytes written), so no disturbed answer goes unseen.
constexpr int kFirstUnchecked = addr::kChecksum + 1;
constexpr std::size_t kDeviceByteCount = 5 + (kImageSize - kFirstUnchecked);
constexpr std::array<int, kDeviceByteCount> deviceBytes() {
  std::array<int, kDeviceByteCount> bytes{addr::kWriteProtect, addr::kReceiverSerialHigh, addr::kReceiverSerialLow,
                                          addr::kTransmitterSerialHigh, addr::kTransmitterSerialLow};
  for (int a = kFirstUnchecked; a < kImageSize; ++a) bytes[5 + (a - kFirstUnchecked)] = a;
  return bytes;
}
constexpr std::array<int, kDeviceByteCount> kDeviceBytes = deviceBytes();

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

// "Alarm nach (Byte 24)" by the settings whose bits differ at the address, "Byte N" without one.
std::string byteName(const Table& wanted, const Table& device, int address) {
  Table oneByteOff = wanted;
  oneByteOff[address] = device[address];
  std::string names;
  for (const SettingDifference& d : compareSettings(wanted, oneByteOff, settingsHalvesOf(wanted))) {
    if (d.page.empty()) continue;  // bits no setting shows
    std::string caption = d.caption;
    if (!caption.empty() && caption.back() == ':') caption.pop_back();
    names += (names.empty() ? "" : ", ") + caption;
  }
  const std::string byte = "Byte " + std::to_string(address);
  return names.empty() ? byte : names + " (" + byte + ")";
}
}  // namespace

void DeviceLink::startProgramRun(Request request, const Table& requested) {
  beginResult(request);
  requested_ = requested;
  for (int a = 0; a <= addr::kLastWritten; ++a) image_.WriteImage[a] = requested[a];
  if (!view_.confirm(linktext::shown(linktext::confirmOverwrite()))) {
    errorEntry(linktext::programCancelled());
    deliverResult(TransferEnding::Declined);
    return;
  }
  if (!openForRequest()) return;
  exactRun_ = request == Request::Restore;
  startFirstRead();
  // VerifyMode is already clear: it is only ever set while a transfer runs.
  state_.phase = Phase::PreReading;
  closeTimer_->setEnabled(false);
}

void DeviceLink::finishPreRead() {
  // Both checks are made so that the user learns every reason at once.
  if (!checkfirmware()) {
    errorEntry(linktext::firmwareMismatch());
    result_.refusals.push_back(Refusal::Firmware);
  }
  if (image_.DeviceImage[addr::kWriteProtect] & 0x01) {
    errorEntry(linktext::writeProtected());
    result_.refusals.push_back(Refusal::WriteProtected);
  }
  if (result_.refusals.empty() && exactRun_ && !isBackupsDevice()) result_.refusals.push_back(Refusal::OtherDevice);
  if (!result_.refusals.empty()) {
    controls_.beep();
    endTransfer(TransferEnding::Refused);
    restoreRequestedImage();
    return;
  }
  // The device's own bytes are read once more before anything is written: a
  // disturbed answer must become neither its serial number nor its backup.
  state_.phase = Phase::PreReading;
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
  afterQuiet([this] {
    state_.Second = SecondRead::None;
    state_.phase = Phase::Writing;
    startWritePass();
  });
}

void DeviceLink::startWritePass() {
  // Nothing is written to a device whose previous image could not be kept.
  const bool saved = backUpDevice();
  // Writing the backup may outlast the 200 ms the port stays open after the
  // last byte; counted from here, the port cannot close under the first write.
  closeTimer_->setEnabled(false);
  closeTimer_->setEnabled(true);
  if (!saved) {
    controls_.beep();
    endTransfer(TransferEnding::BackupFailed);
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
    result_.backupFailure = result.reason;
    errorEntry(linktext::backupFailed(result.reason));
    return false;
  }
  result_.backupPath = result.path;
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
  view_.progress(Pass::Write, state_.BytePos);
  ++state_.BytePos;
  if (state_.BytePos <= addr::kLastWritten) {
    transmit(command::kWrite, static_cast<std::uint8_t>(state_.BytePos),
             image_.WriteImage[state_.BytePos]);
    return;
  }
  afterQuiet([this] {
    state_.BytePos = 0;
    transmit(command::kRead, 0);
    state_.phase = Phase::Verifying;
  });
}

void DeviceLink::onVerifyByte(std::uint8_t byte) {
  if (takeReadAnswer(image_.DeviceImage, Pass::Verify, byte)) return;
  afterQuiet([this] { finishVerify(); });
}

void DeviceLink::finishVerify() {
  result_.deviceImage = image_.DeviceImage;
  // Every byte written must hold what was written, and the bytes above them
  // what the pre-read found: a type or firmware that changed is no success.
  Table expected = image_.ReadBuffer;
  for (int a = 0; a <= addr::kLastWritten; ++a) expected[a] = image_.WriteImage[a];
  std::vector<std::string> details;
  for (int a = 0; a <= kLastReadAddress; ++a) {
    if (image_.DeviceImage[a] == expected[a]) continue;
    details.push_back(linktext::verifyDetail(byteName(expected, image_.DeviceImage, a), image_.DeviceImage[a], expected[a]));
    result_.differences.push_back({a, image_.DeviceImage[a], expected[a]});
  }
  if (!details.empty()) {
    errorEntry(linktext::verifyDifference());
    noteEntry(linktext::verifyDetails(details));
    controls_.beep();
    // A retry must write the user's image, not the read-back.
    endTransfer(TransferEnding::VerifyDifferences);
    restoreRequestedImage();
    return;
  }
  successEntry(linktext::programDone());
  geraetdetect();
  controls_.setProgButtonEnabled(true);
  controls_.focusProgButton();
  endTransfer(TransferEnding::Done);
  view_.showdata();
}

}  // namespace lk24
