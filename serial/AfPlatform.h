#pragma once
// The operating-system layer under the port engine: the line-settings record
// with its classic field layout and flag bits, the event and error bits, and
// the abstract serial device the engine drives. The POSIX implementation is
// in AfPlatformPosix.cpp; tests substitute devices of their own.

#include "serial/AfPortResolver.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>

class TAfEvent;

#ifdef _WIN32
// Windows' own records and constants: they are the ones the engine was
// designed on, and the device layer hands them to kernel32 as they stand.
#include "serial/AfWin32Api.h"

static_assert(sizeof(DCB) == 28 && offsetof(DCB, BaudRate) == 4 && offsetof(DCB, wReserved) == 12 &&
              offsetof(DCB, XonLim) == 14 && offsetof(DCB, ByteSize) == 18 && offsetof(DCB, EvtChar) == 25);
static_assert(sizeof(COMSTAT) == 12 && offsetof(COMSTAT, cbInQue) == 4);
static_assert(sizeof(COMMTIMEOUTS) == 20);

// Windows declares the flag word as bit fields (fBinary ... fAbortOnError);
// the engine reads and writes it whole, in the 32 bits after BaudRate.
inline std::uint32_t AfDcbFlags(const DCB& dcb) {
  std::uint32_t flags = 0;
  std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + 4, sizeof flags);
  return flags;
}
inline void AfSetDcbFlags(DCB& dcb, std::uint32_t flags) {
  std::memcpy(reinterpret_cast<char*>(&dcb) + offsetof(DCB, BaudRate) + 4, &flags, sizeof flags);
}
#else
// Elsewhere our own records and constants, with the fields and values of
// Windows' ones, so the engine reads alike on both systems; the POSIX device
// layer maps them to termios.
struct DCB {
  std::uint32_t DCBlength;
  std::uint32_t BaudRate;
  std::uint32_t Flags;
  std::uint16_t wReserved;
  std::uint16_t XonLim;
  std::uint16_t XoffLim;
  std::uint8_t ByteSize;
  std::uint8_t Parity;    // NOPARITY .. SPACEPARITY
  std::uint8_t StopBits;  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  std::uint16_t wReserved1;
};

inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3,
                              SPACEPARITY = 4;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

// Line events.
inline constexpr std::uint32_t EV_RXCHAR = 0x1;
inline constexpr std::uint32_t EV_CTS = 0x8;
inline constexpr std::uint32_t EV_DSR = 0x10;
inline constexpr std::uint32_t EV_RLSD = 0x20;
inline constexpr std::uint32_t EV_BREAK = 0x40;
inline constexpr std::uint32_t EV_ERR = 0x80;
inline constexpr std::uint32_t EV_RING = 0x100;

// Line errors.
inline constexpr std::uint32_t CE_RXOVER = 0x1;
inline constexpr std::uint32_t CE_OVERRUN = 0x2;
inline constexpr std::uint32_t CE_RXPARITY = 0x4;
inline constexpr std::uint32_t CE_FRAME = 0x8;
inline constexpr std::uint32_t CE_BREAK = 0x10;

inline constexpr std::uint32_t PURGE_TXABORT = 0x1;
inline constexpr std::uint32_t PURGE_RXABORT = 0x2;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x4;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x8;

inline constexpr std::uint32_t SETRTS = 3;
inline constexpr std::uint32_t CLRRTS = 4;
inline constexpr std::uint32_t SETDTR = 5;
inline constexpr std::uint32_t CLRDTR = 6;

struct COMSTAT {
  std::uint32_t Flags;
  std::uint32_t cbInQue;
  std::uint32_t cbOutQue;
};

struct COMMTIMEOUTS {
  std::uint32_t ReadIntervalTimeout;
  std::uint32_t ReadTotalTimeoutMultiplier;
  std::uint32_t ReadTotalTimeoutConstant;
  std::uint32_t WriteTotalTimeoutMultiplier;
  std::uint32_t WriteTotalTimeoutConstant;
};

inline std::uint32_t AfDcbFlags(const DCB& dcb) { return dcb.Flags; }
inline void AfSetDcbFlags(DCB& dcb, std::uint32_t flags) { dcb.Flags = flags; }
#endif

// Bits of the line-settings record's flag word (AfDcbFlags).
inline constexpr std::uint32_t dcb_Binary = 0x1;
inline constexpr std::uint32_t dcb_Parity = 0x2;
inline constexpr std::uint32_t dcb_OutxCtsFlow = 0x4;
inline constexpr std::uint32_t dcb_OutxDsrFlow = 0x8;
inline constexpr std::uint32_t dcb_DtrControlMask = 0x30;
inline constexpr std::uint32_t dcb_DtrControlEnable = 0x10;
inline constexpr std::uint32_t dcb_DtrControlHandshake = 0x20;
inline constexpr std::uint32_t dcb_DsrSensivity = 0x40;
inline constexpr std::uint32_t dcb_TXContinueOnXoff = 0x80;
inline constexpr std::uint32_t dcb_OutX = 0x100;
inline constexpr std::uint32_t dcb_InX = 0x200;
inline constexpr std::uint32_t dcb_ErrorChar = 0x400;
inline constexpr std::uint32_t dcb_NullStrip = 0x800;
inline constexpr std::uint32_t dcb_RtsControlMask = 0x3000;
inline constexpr std::uint32_t dcb_RtsControlEnable = 0x1000;
inline constexpr std::uint32_t dcb_RtsControlHandshake = 0x2000;

// Outcome of waiting for a line event together with some engine events.
struct TAfWaitResult {
  // HungUp: the device is gone (adapter pulled, far end of a pty closed);
  // reported once, after any bytes that were still waiting.
  enum Kind { LineEvent, Woken, TimedOut, Failed, HungUp };
  Kind kind = Failed;
  std::uint32_t mask = 0;  // LineEvent: the EV_ bits seen (0 after SetCommMask)
  int woken = -1;          // Woken: index into the events waited on
};

// Outcome of a write that the engine's events may interrupt.
struct TAfWriteResult {
  bool ok = false;           // every byte went to the driver
  std::int32_t written = 0;  // bytes handed to the driver before it ended
  int woken = -1;            // index of the event that interrupted it, or -1
};

// One open serial device. The event thread waits and the write thread writes
// while the main thread reads, purges and queries; an implementation must
// allow these three at once. Settings calls come from the main thread.
class TAfSerialDevice {
 public:
  virtual ~TAfSerialDevice() = default;

  virtual bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) = 0;
  virtual bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) = 0;
  // Setting a new mask ends a wait in progress with mask 0. Any thread.
  virtual bool SetCommMask(std::uint32_t mask) = 0;
  virtual bool SetCommState(const DCB& dcb) = 0;
  virtual bool GetCommState(DCB& dcb) = 0;

  // Called by the event thread before it reports itself started.
  virtual bool BeginEventWaits() = 0;
  // Waits for a line event in the mask, one of `events`, or the time-out.
  // When several are ready, events[0] (the stop request) wins, then the
  // line, then the other events in order. Modem-line and error changes seen
  // by any call stay pending until a wait has reported them. Event thread only.
  virtual TAfWaitResult WaitCommEvent(std::span<TAfEvent* const> events, int timeoutMs) = 0;

  // Error bits whose EV_ERR a wait has reported (or that no mask asks for),
  // and the queue counts. Never reads the modem lines.
  virtual bool ClearCommError(std::uint32_t& errors, COMSTAT& status) = 0;
  virtual bool PurgeComm(std::uint32_t flags) = 0;
  virtual bool EscapeCommFunction(std::uint32_t function) = 0;
  // Reads what is waiting, up to count bytes, without waiting; -1 on failure.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  // Writes all bytes, waiting for room, until done, failed or one of
  // `events` is set. Write thread only.
  virtual TAfWriteResult Write(const void* buffer, std::int32_t count,
                               std::span<TAfEvent* const> events) = 0;
};

struct TAfOpenResult {
  enum Error { None, NotFound, Refused };
  std::unique_ptr<TAfSerialDevice> device;
  Error error = None;
  int systemError = 0;  // errno detail
  // The device COMn resolved to, and on failure why it cannot be opened.
  TAfPortAccess access;
  // An adapter's latency timer (ms) read after asking for low latency.
  std::optional<int> latencyTimerMs;
};

// Opens COM port `number`; the engine's default is AfOpenPlatformDevice.
using TAfDeviceFactory = std::function<TAfOpenResult(int number)>;

// Opens COM port `number` the way this platform does it, exclusively, with
// the system's own port names.
TAfOpenResult AfOpenPlatformDevice(int number);

// Resolves COM `number` afresh and opens it exclusively, raw, non-blocking:
// UUCP lock file, flock and TIOCEXCL, and no other process holding it; asks
// the driver for low latency. Restores settings and flags and frees the lock
// on close. A port held elsewhere is closed again untouched.
TAfOpenResult AfOpenPosixDevice(int number, const TAfPortRoots& roots = {});
