#include "serial/AfComPort.h"

#include "serial/AfSafeSync.h"
#include "serial/AfUtils.h"

#include <cstdio>

namespace {

constexpr std::uint32_t baudTable[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                       19200, 38400, 56000, 57600, 115200, 128000, 256000};

struct OptionFlag {
  TAfComOption option;
  std::uint32_t flag;
};
constexpr OptionFlag optionFlags[] = {
    {coParityCheck, dcb_Parity},          {coDsrSensitivity, dcb_DsrSensivity},
    {coIgnoreXOff, dcb_TXContinueOnXoff}, {coErrorChar, dcb_ErrorChar},
    {coStripNull, dcb_NullStrip}};

constexpr std::uint32_t flowFlags[] = {
    0,                                            // fwNone
    dcb_OutX | dcb_InX,                           // fwXOnXOff
    dcb_OutxCtsFlow | dcb_RtsControlHandshake,    // fwRtsCts
    dcb_OutxDsrFlow | dcb_DtrControlHandshake};   // fwDtrDsr

constexpr std::uint32_t syncTimeoutMs = 2000;

}  // namespace

std::uint32_t AfBaudRateValue(TAfBaudrate rate) {
  return rate >= br110 && rate < brUser ? baudTable[rate] : 0;
}

// What an engine event carries to the main thread: its own kind and data,
// never fields shared with the next event.
struct TAfCustomSerialPort::PendingEvent {
  TAfCoreEvent kind;
  std::uint32_t data;
  std::exception_ptr error;
};

TAfCustomSerialPort::TAfCustomSerialPort() {
  syncId_ = SafeSyncRegister([this](const std::any& payload) {
    if (closingFlag_) return;
    if (const auto* event = std::any_cast<PendingEvent>(&payload)) {
      ProcessEvent(event->kind, event->data, event->error);
    }
  });
  core_ = std::make_unique<TAfComPortCore>();
  core_->SetCallback([this](TAfComPortCore* sender, TAfCoreEvent kind, std::uint32_t data,
                            const std::exception_ptr& error) {
    CoreEvent(sender, kind, data, error);
  });
  UpdateDCB();
}

TAfCustomSerialPort::~TAfCustomSerialPort() {
  destroying_ = true;
  SafeSyncUnregister(syncId_);
  core_.reset();
}

void TAfCustomSerialPort::Loaded() {
  if (autoOpen_) {
    Open();
  } else {
    UpdateDCB();
  }
}

bool TAfCustomSerialPort::Active() const { return core_ && core_->Active(); }

void TAfCustomSerialPort::Open() {
  if (core_->Active()) return;
  SafeSyncEnable(syncId_, true);
  core_->SetDCB(dcb_);
  core_->SetInBufSize(inBufSize_);
  core_->SetOutBufSize(outBufSize_);
  core_->SetEventThreadPriority(eventThreadPriority_);
  core_->SetWriteThreadPriority(writeThreadPriority_);
  core_->SetEventMask(WatchedEvents());
  closingFlag_ = false;
  InternalOpen();
  if (OnPortOpen) OnPortOpen(this);
}

std::uint32_t TAfCustomSerialPort::WatchedEvents() const {
  // Whoever sees every event may want any of them.
  if (OnSyncEvent || OnNonSyncEvent) return AfDefaultEventMask;
  std::uint32_t mask = EV_RXCHAR;
  if (OnLineError) mask |= EV_ERR;
  if (OnCTSChanged) mask |= EV_CTS;
  if (OnDSRChanged) mask |= EV_DSR;
  if (OnRINGDetected) mask |= EV_RING;
  if (OnRLSDChanged) mask |= EV_RLSD;
  return mask;
}

void TAfCustomSerialPort::Close() {
  closingFlag_ = true;
  SafeSyncEnable(syncId_, false);
  core_->CloseComPort();
  if (OnPortClose) OnPortClose(this);
  closingFlag_ = false;
}

void TAfCustomSerialPort::ReadData(void* buffer, std::int32_t size) {
  if (closingFlag_) return;
  if (core_->ReadData(buffer, size) != size) SerialPortError("Read data error");
}

std::uint8_t TAfCustomSerialPort::ReadChar() {
  std::uint8_t c = 0;
  ReadData(&c, 1);
  return c;
}

void TAfCustomSerialPort::WriteData(const void* buffer, std::int32_t size) {
  if (closingFlag_) return;
  if (!core_->WriteData(buffer, size)) {
    char message[96];
    std::snprintf(message, sizeof message, "Write data error [requested: %d, free: %d]", int(size),
                  int(OutBufFree()));
    SerialPortError(message);
  }
}

void TAfCustomSerialPort::WriteChar(std::uint8_t c) { WriteData(&c, 1); }

void TAfCustomSerialPort::PurgeRx() {
  if (!closingFlag_) core_->PurgeRx();
}

void TAfCustomSerialPort::PurgeTx() {
  if (!closingFlag_) core_->PurgeTx();
}

std::int32_t TAfCustomSerialPort::OutBufFree() { return core_->OutBufFree(); }

void TAfCustomSerialPort::SerialPortError(const std::string& message) {
  throw EAfComPortError(message + " - " + Name() + " ");
}

void TAfCustomSerialPort::UpdateDCB() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = baudRate_ == brUser ? std::uint32_t(userBaudRate_) : AfBaudRateValue(baudRate_);
  dcb.ByteSize = std::uint8_t(4 + databits_);
  dcb.Parity = std::uint8_t(parity_);
  dcb.StopBits = std::uint8_t(stopbits_);
  dcb.XonChar = char(xOnChar_);
  dcb.XoffChar = char(xOffChar_);
  dcb.XonLim = xOnLim_;
  dcb.XoffLim = xOffLim_;
  std::uint32_t flags = dcb_Binary | flowFlags[flowControl_];
  for (const OptionFlag& entry : optionFlags) {
    if (options_.contains(entry.option)) flags |= entry.flag;
  }
  if (dtr_ && flowControl_ != fwDtrDsr) flags |= dcb_DtrControlEnable;
  if (rts_ && flowControl_ != fwRtsCts) flags |= dcb_RtsControlEnable;
  AfSetDcbFlags(dcb, flags);
  dcb_ = dcb;
  if (Active()) {
    try {
      core_->SetDCB(dcb_);
    } catch (...) {
      // Keep what the device really runs with; the property keeps its value.
      dcb_ = core_->GetDCB();
      throw;
    }
  }
}

void TAfCustomSerialPort::UpdateXOnXOffLimits() {
  if (flowControl_ == fwNone) {
    xOnLim_ = 0;
    xOffLim_ = 0;
  } else {
    xOnLim_ = std::uint16_t(inBufSize_ / 4);
    xOffLim_ = std::uint16_t(inBufSize_ - inBufSize_ / 4);
  }
}

void TAfCustomSerialPort::CheckClosed() {
  if (Active()) SerialPortError("Port is not closed");
}

void TAfCustomSerialPort::CoreEvent(TAfComPortCore*, TAfCoreEvent kind, std::uint32_t data,
                                    const std::exception_ptr& error) {
  if (closingFlag_ || destroying_) return;
  if (kind != ceException && OnNonSyncEvent) {
    OnNonSyncEvent(this, kind, data);
    return;
  }
  SyncEvent(kind, data, error);
}

void TAfCustomSerialPort::SyncEvent(TAfCoreEvent kind, std::uint32_t data,
                                    const std::exception_ptr& error) {
  if (!SafeSyncCall(syncId_, syncTimeoutMs, PendingEvent{kind, data, error})) {
    throw EAfSilentAbort();
  }
}

void TAfCustomSerialPort::ProcessEvent(TAfCoreEvent kind, std::uint32_t data,
                                       const std::exception_ptr& error) {
  if (closingFlag_ || destroying_) return;
  if (OnSyncEvent) OnSyncEvent(this, kind, data);
  switch (kind) {
    case ceOutBufFree:
      if (OnOutBufFree) OnOutBufFree(this);
      break;
    case ceLineEvent: {
      if ((data & EV_RXCHAR) != 0) {
        COMSTAT status{};
        core_->ComStatus(status);
        if (OnDataRecived) OnDataRecived(this, std::int32_t(status.cbInQue));
      }
      if ((data & EV_ERR) != 0) {
        // Gather the errors behind this very event, not only those an
        // earlier status read happened to see.
        COMSTAT status{};
        core_->ComStatus(status);
      }
      const std::uint32_t errors = core_->TakeLineErrors();
      if ((data & EV_ERR) != 0 && OnLineError) OnLineError(this, errors);
      if ((data & EV_CTS) != 0 && OnCTSChanged) OnCTSChanged(this);
      if ((data & EV_DSR) != 0 && OnDSRChanged) OnDSRChanged(this);
      if ((data & EV_RING) != 0 && OnRINGDetected) OnRINGDetected(this);
      if ((data & EV_RLSD) != 0 && OnRLSDChanged) OnRLSDChanged(this);
      break;
    }
    case ceDataWaiting:
      if (OnDataRecived) OnDataRecived(this, std::int32_t(data));
      break;
    case ceException:
      if (error) std::rethrow_exception(error);
      break;
    case ceHangUp:
      // The device is gone: let go of its name at once, so that a re-plugged
      // adapter comes back under the same one.
      Close();
      if (OnHangUp) OnHangUp(this);
      break;
  }
}

// --- properties

void TAfCustomSerialPort::setBaudRate(TAfBaudrate value) {
  if (value == baudRate_) return;
  baudRate_ = value;
  if (value != brUser) userBaudRate_ = 0;
  UpdateDCB();
}

void TAfCustomSerialPort::setDatabits(TAfDatabits value) {
  if (value == databits_) return;
  databits_ = value;
  UpdateDCB();
}

void TAfCustomSerialPort::setDTR(bool value) {
  if (value == dtr_) return;
  dtr_ = value;
  if (Active()) core_->EscapeComm(value ? SETDTR : CLRDTR);
}

void TAfCustomSerialPort::setFlowControl(TAfFlowControl value) {
  if (value == flowControl_) return;
  flowControl_ = value;
  UpdateXOnXOffLimits();
  UpdateDCB();
}

void TAfCustomSerialPort::setInBufSize(std::int32_t value) {
  if (value == inBufSize_) return;
  CheckClosed();
  inBufSize_ = value;
  UpdateXOnXOffLimits();
}

void TAfCustomSerialPort::setOptions(TAfComOptions value) {
  if (value == options_) return;
  options_ = value;
  UpdateDCB();
}

void TAfCustomSerialPort::setOutBufSize(std::int32_t value) {
  if (value == outBufSize_) return;
  CheckClosed();
  outBufSize_ = value;
}

void TAfCustomSerialPort::setParity(TAfParity value) {
  if (value == parity_) return;
  parity_ = value;
  UpdateDCB();
}

void TAfCustomSerialPort::setRTS(bool value) {
  if (value == rts_) return;
  rts_ = value;
  if (Active()) core_->EscapeComm(value ? SETRTS : CLRRTS);
}

void TAfCustomSerialPort::setStopbits(TAfStopbits value) {
  if (value == stopbits_) return;
  stopbits_ = value;
  UpdateDCB();
}

void TAfCustomSerialPort::setUserBaudRate(std::int32_t value) {
  if (value == userBaudRate_) return;
  userBaudRate_ = value;
  baudRate_ = brUser;
  UpdateDCB();
}

void TAfCustomSerialPort::setXOnChar(std::uint8_t value) {
  if (value == xOnChar_) return;
  xOnChar_ = value;
  UpdateDCB();
}

void TAfCustomSerialPort::setXOffChar(std::uint8_t value) {
  if (value == xOffChar_) return;
  xOffChar_ = value;
  UpdateDCB();
}

void TAfCustomSerialPort::setXOnLim(std::uint16_t value) {
  if (value == xOnLim_) return;
  xOnLim_ = value;
  xOffLim_ = std::uint16_t(inBufSize_ - value);
}

void TAfCustomSerialPort::setXOffLim(std::uint16_t value) {
  if (value == xOffLim_) return;
  xOffLim_ = value;
  xOnLim_ = std::uint16_t(inBufSize_ - value);
}

// --- COM port

void TAfComPort::setComNumber(std::uint16_t value) {
  if (value == comNumber_) return;
  if (Active()) {
    Close();
    comNumber_ = value;
    Open();
  } else {
    comNumber_ = value;
  }
}

void TAfComPort::InternalOpen() {
  ShowWaitCursor(true);
  try {
    Core().OpenComPort(comNumber_);
  } catch (...) {
    ShowWaitCursor(false);
    throw;
  }
  ShowWaitCursor(false);
}
