#pragma once
// The serial port component: line settings as properties, open/close through
// the port engine, byte-level read/write/purge, and line events delivered on
// the main thread.
//
// Threads: every operation is for the main thread. The events run on the main
// thread, except OnNonSyncEvent, which runs on the engine's event thread
// (assign it while the port is closed; it must not open, close or write).
// A main-thread handler may close the port whose event it handles.
//
// Assign handlers while the port is closed: Open watches the modem lines and
// line errors only when a handler for them (or OnSyncEvent/OnNonSyncEvent)
// is assigned, since on a USB adapter each look at them is a bus request.
// When the device goes away, the port closes itself and fires OnHangUp.

#include "serial/AfComPortCore.h"
#include "serial/AfPlatform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

enum TAfBaudrate {
  br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
  br38400, br56000, br57600, br115200, br128000, br256000, brUser
};
enum TAfDatabits { db4, db5, db6, db7, db8 };
enum TAfParity { paNone, paOdd, paEven, paMark, paSpace };
enum TAfStopbits { sbOne, sbOneAndHalf, sbTwo };
enum TAfFlowControl { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum TAfComOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull };

// Set of TAfComOption, one bit per ordinal.
class TAfComOptions {
 public:
  constexpr TAfComOptions() = default;
  constexpr TAfComOptions(std::initializer_list<TAfComOption> options) {
    for (TAfComOption o : options) bits_ |= Bit(o);
  }
  constexpr bool contains(TAfComOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr std::uint8_t bits() const { return bits_; }
  constexpr bool operator==(const TAfComOptions&) const = default;

 private:
  static constexpr std::uint8_t Bit(TAfComOption o) { return std::uint8_t(1u << o); }
  std::uint8_t bits_ = 0;
};

// Bits per second of each TAfBaudrate below brUser.
std::uint32_t AfBaudRateValue(TAfBaudrate rate);

class EAfComPortError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TAfCustomSerialPort;

// Sender is the port whose event it is.
using TAfNotifyEvent = std::function<void(TAfCustomSerialPort* Sender)>;
using TAfCPTDataReceivedEvent = std::function<void(TAfCustomSerialPort* Sender, std::int32_t Count)>;
using TAfCPTErrorEvent = std::function<void(TAfCustomSerialPort* Sender, std::uint32_t Errors)>;
using TAfCPTCoreEvent =
    std::function<void(TAfCustomSerialPort* Sender, TAfCoreEvent EventKind, std::uint32_t Data)>;

// The component this port follows had two more layers: a base that linked
// the port to a data dispatcher, and a TAfCustomComPort between this class
// and TAfComPort. No dispatcher is ever linked in this program and nothing
// derives from the middle layer, so the port's name lives here and the COM
// number in TAfComPort.
class TAfCustomSerialPort {
 public:
  TAfCustomSerialPort();
  virtual ~TAfCustomSerialPort();
  TAfCustomSerialPort(const TAfCustomSerialPort&) = delete;
  TAfCustomSerialPort& operator=(const TAfCustomSerialPort&) = delete;

  // The component's name, which its error messages end with ("RS232").
  const std::string& Name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  // After the properties have been restored: opens when AutoOpen.
  virtual void Loaded();

  void Close();
  void Open();
  bool Active() const;

  void ReadData(void* buffer, std::int32_t size);
  std::uint8_t ReadChar();
  void WriteData(const void* buffer, std::int32_t size);
  void WriteChar(std::uint8_t c);
  void PurgeRx();
  void PurgeTx();
  std::int32_t OutBufFree();

  // Properties.
  bool AutoOpen() const { return autoOpen_; }
  void setAutoOpen(bool value) { autoOpen_ = value; }
  TAfBaudrate BaudRate() const { return baudRate_; }
  void setBaudRate(TAfBaudrate value);
  TAfDatabits Databits() const { return databits_; }
  void setDatabits(TAfDatabits value);
  bool DTR() const { return dtr_; }
  void setDTR(bool value);
  TThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
  void setEventThreadPriority(TThreadPriority value) { eventThreadPriority_ = value; }
  TAfFlowControl FlowControl() const { return flowControl_; }
  void setFlowControl(TAfFlowControl value);
  std::int32_t InBufSize() const { return inBufSize_; }
  void setInBufSize(std::int32_t value);
  TAfComOptions Options() const { return options_; }
  void setOptions(TAfComOptions value);
  std::int32_t OutBufSize() const { return outBufSize_; }
  void setOutBufSize(std::int32_t value);
  TAfParity Parity() const { return parity_; }
  void setParity(TAfParity value);
  bool RTS() const { return rts_; }
  void setRTS(bool value);
  TAfStopbits Stopbits() const { return stopbits_; }
  void setStopbits(TAfStopbits value);
  std::int32_t UserBaudRate() const { return userBaudRate_; }
  void setUserBaudRate(std::int32_t value);
  TThreadPriority WriteThreadPriority() const { return writeThreadPriority_; }
  void setWriteThreadPriority(TThreadPriority value) { writeThreadPriority_ = value; }
  std::uint8_t XOnChar() const { return xOnChar_; }
  void setXOnChar(std::uint8_t value);
  std::uint8_t XOffChar() const { return xOffChar_; }
  void setXOffChar(std::uint8_t value);
  std::uint16_t XOnLim() const { return xOnLim_; }
  void setXOnLim(std::uint16_t value);
  std::uint16_t XOffLim() const { return xOffLim_; }
  void setXOffLim(std::uint16_t value);

  // The record last built by UpdateDCB.
  const DCB& LineSettings() const { return dcb_; }
  std::uint32_t SyncId() const { return syncId_; }
  TAfComPortCore& Core() { return *core_; }

  // Events (public members so that the owner assigns them directly).
  TAfNotifyEvent OnCTSChanged;
  TAfCPTDataReceivedEvent OnDataRecived;
  TAfNotifyEvent OnDSRChanged;
  TAfNotifyEvent OnRLSDChanged;
  TAfNotifyEvent OnRINGDetected;
  TAfCPTErrorEvent OnLineError;
  TAfNotifyEvent OnOutBufFree;
  TAfCPTCoreEvent OnNonSyncEvent;
  TAfNotifyEvent OnPortClose;
  TAfNotifyEvent OnPortOpen;
  TAfCPTCoreEvent OnSyncEvent;
  // The device went away (ceHangUp); the port has been closed already.
  TAfNotifyEvent OnHangUp;

 protected:
  virtual void InternalOpen() = 0;
  [[noreturn]] virtual void SerialPortError(const std::string& message);

  void UpdateDCB();
  void UpdateXOnXOffLimits();
  void CheckClosed();

 private:
  struct PendingEvent;
  void CoreEvent(TAfComPortCore* sender, TAfCoreEvent kind, std::uint32_t data,
                 const std::exception_ptr& error);
  void SyncEvent(TAfCoreEvent kind, std::uint32_t data, const std::exception_ptr& error);
  void ProcessEvent(TAfCoreEvent kind, std::uint32_t data, const std::exception_ptr& error);
  // The engine's event mask for the handlers now assigned.
  std::uint32_t WatchedEvents() const;

  std::string name_;
  bool autoOpen_ = false;
  TAfBaudrate baudRate_ = br115200;
  std::atomic<bool> closingFlag_{false};
  std::atomic<bool> destroying_{false};
  std::unique_ptr<TAfComPortCore> core_;
  TAfDatabits databits_ = db8;
  DCB dcb_{};
  bool dtr_ = true;
  TThreadPriority eventThreadPriority_ = tpNormal;
  TAfFlowControl flowControl_ = fwNone;
  std::int32_t inBufSize_ = 4096;
  TAfComOptions options_;
  std::int32_t outBufSize_ = 2048;
  TAfParity parity_ = paNone;
  bool rts_ = true;
  TAfStopbits stopbits_ = sbOne;
  std::uint32_t syncId_ = 0;
  std::int32_t userBaudRate_ = 0;
  std::uint8_t xOnChar_ = 17;
  std::uint8_t xOffChar_ = 19;
  std::uint16_t xOnLim_ = 0;
  std::uint16_t xOffLim_ = 0;
  TThreadPriority writeThreadPriority_ = tpHighest;
};

class TAfComPort : public TAfCustomSerialPort {
 public:
  TAfComPort() = default;

  std::uint16_t ComNumber() const { return comNumber_; }
  // Reopens an active port on the new number; the same number does nothing.
  void setComNumber(std::uint16_t value);

 protected:
  void InternalOpen() override;

 private:
  std::uint16_t comNumber_ = 0;
};
