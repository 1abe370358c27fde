#pragma once
// Which device COM1, COM2, ... stand for on this machine, and whether a port
// can be opened now. COMn is $LK24_COMn when set; otherwise the n-th real
// serial port: USB-serial bridges first, then CDC-ACM devices, each ordered
// by their /dev/serial/by-id names (the kernel name where there is none),
// then on-board ports with a UART behind them. What a port is comes from its
// driver (sysfs device/driver). The kernel console and the ports of mobile
// broadband modems are never taken automatically.
//
// Everything here reads the trees below TAfPortRoots, so tests pass a fake
// /dev, /sys and /proc. No call opens a device. Any thread; no shared state
// except the system-call seam, which tests set before they start threads.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TAfPortRoots {
  std::string dev = "/dev";
  std::string sys = "/sys";
  std::string proc = "/proc";
  std::string lock = "/run/lock";  // UUCP lock files (LCK..ttyUSB0)
};

enum class TAfPortKind {
  UsbAdapter,     // a USB-serial bridge (ftdi_sio, cp210x, ch341, pl2303, ...)
  AcmAdapter,     // a USB CDC-ACM device (cdc_acm)
  OnBoard,        // an on-board port with a UART behind it
  OnBoardNoUart,  // an on-board device node with no UART (8250 type unknown)
  PseudoTerminal, // /dev/pts/N: a simulator or a serial-over-network bridge
  Other,          // anything else a mapping may name
  ModemPort       // a port of a mobile broadband modem (option, qcserial, sierra)
};

struct TAfSerialPortInfo {
  std::string devicePath;  // the node under the /dev root, e.g. /dev/ttyUSB0
  std::string kernelName;  // ttyUSB0, ttyS0, pts/3
  std::string byIdName;    // usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0, or empty
  TAfPortKind kind = TAfPortKind::Other;
  bool console = false;    // the kernel console
  // Counted for COMn without a mapping: an adapter, or an on-board port with
  // a UART that is not the console.
  bool automatic = false;
};

struct TAfComResolution {
  enum Source { Mapped, Automatic, NoPort };
  int number = 0;
  Source source = NoPort;
  std::string devicePath;              // empty for NoPort
  std::optional<TAfSerialPortInfo> info;  // what the path is, when known
};

struct TAfPortHolder {
  pid_t pid = 0;
  std::string name;  // /proc/PID/comm, or empty when unreadable
};

enum class TAfPortState {
  Free,          // nothing seen that would stop an open
  NoPort,        // COMn resolves to no device at all
  Missing,       // no such device node (adapter unplugged?)
  NoUart,        // an on-board node without a UART behind it
  NoPermission,  // the user may not open it: join `group`, or, when that
                 // is empty, only root may (no group can read and write it)
  Held,          // another process has it open or locked (`holder`)
  Failed         // another refusal; `systemError` has the errno
};

struct TAfPortAccess {
  TAfPortState state = TAfPortState::Free;
  std::string devicePath;
  int systemError = 0;
  std::string group;                    // NoPermission: the device's group
  std::optional<TAfPortHolder> holder;  // Held: who, when known
};

// Every serial port of the machine: first those that take COM numbers, in
// COM order, then the rest (console, no UART) by kernel name.
std::vector<TAfSerialPortInfo> AfListSerialPorts(const TAfPortRoots& roots);

// What COM `number` stands for now; resolved afresh at every call.
TAfComResolution AfResolveComPort(int number, const TAfPortRoots& roots);

// What `path` is (kind, by-id name, console); looked up by device number, so a
// symbolic link such as a by-id name finds its port. Empty when no node exists.
std::optional<TAfSerialPortInfo> AfDescribePort(const std::string& path, const TAfPortRoots& roots);

// Whether `path` could be opened now, judged without opening it: node,
// UART, permission, UUCP lock file, other processes that hold it.
TAfPortAccess AfCheckPortAccess(const std::string& path, const TAfPortRoots& roots);

// Another process that has `path` open, as far as /proc lets us see. The
// process holding the master side of a pseudo-terminal is its device end
// and never counts; neither does `ignore` (this process).
std::optional<TAfPortHolder> AfFindPortHolder(const std::string& path, const TAfPortRoots& roots,
                                              pid_t ignore);

// Running processes known to grab serial ports (ModemManager, brltty, gpsd).
std::vector<TAfPortHolder> AfFindPortGrabbers(const TAfPortRoots& roots);

// The adapter's latency timer in ms (FTDI and kin), when sysfs has one.
std::optional<int> AfLatencyTimerMs(const std::string& path, const TAfPortRoots& roots);
std::optional<int> AfLatencyTimerMs(const TAfSerialPortInfo& port, const TAfPortRoots& roots);

// The group a user must join to open the node, e.g. "dialout" on Debian or
// "uucp" elsewhere: the node's group when it may read and write it and is
// not root's own; empty when only root may open the node.
std::string AfDeviceGroup(const std::string& path);

// The system calls the port layer makes, replaceable so that tests can give
// refusals (EACCES as root) and driver answers a pseudo-terminal cannot.
// An empty member means the real call. Set before any port is opened.
struct TAfSystemCalls {
  std::function<int(const char* path, int flags)> open;
  std::function<int(const char* path, int mode)> access;
  std::function<int(int fd, unsigned long request, void* arg)> ioctl;
};
void AfSetSystemCalls(TAfSystemCalls calls);
int AfSysOpen(const char* path, int flags);
int AfSysAccess(const char* path, int mode);
int AfSysIoctl(int fd, unsigned long request, void* arg);
