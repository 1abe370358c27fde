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
  // The active console: the kernel's console, what /dev/console and
  // /dev/tty stand for, or this process's controlling terminal. Typing into
  // it, or sending the wake-up run into it, would hit the user's session.
  bool console = false;
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
  // Mapped by a variable the user set, not by AfMapComPortToPath: only such
  // a mapping may reach the console.
  bool onPurpose = false;
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
  Failed,        // another refusal; `systemError` has the errno
  NotSerial,     // the path is something else (`notSerial` says what)
  Console        // the active console, taken only through a mapping on purpose
};

// What a path that is no serial port names instead.
enum class TAfNotSerial { File, Folder, Pipe, Socket, OtherDevice };

struct TAfPortAccess {
  TAfPortState state = TAfPortState::Free;
  std::string devicePath;
  int systemError = 0;
  std::string group;                    // NoPermission: the device's group
  std::optional<TAfPortHolder> holder;  // Held: who, when known
  TAfNotSerial notSerial = TAfNotSerial::OtherDevice;  // NotSerial: what the path is
};

// Every serial port of the machine: first those that take COM numbers, in
// COM order, then the rest (console, no UART) by kernel name.
std::vector<TAfSerialPortInfo> AfListSerialPorts(const TAfPortRoots& roots);

// What COM `number` stands for now; resolved afresh at every call.
TAfComResolution AfResolveComPort(int number, const TAfPortRoots& roots);

// What `path` is (kind, by-id name, console); looked up by device number, so a
// symbolic link such as a by-id name finds its port. Empty when no node exists.
std::optional<TAfSerialPortInfo> AfDescribePort(const std::string& path, const TAfPortRoots& roots);

// What `path` is when it exists but is no terminal at all: a file, a
// folder, /dev/null. Empty for a terminal and for a path that is not there.
std::optional<TAfNotSerial> AfNotSerial(const std::string& path, const TAfPortRoots& roots);

// Whether `path` could be opened now, judged without opening it: what it
// is, node, UART, permission, UUCP lock file, other processes that hold it.
// The console counts as taken unless consoleAllowed (a mapping on purpose).
TAfPortAccess AfCheckPortAccess(const std::string& path, const TAfPortRoots& roots, bool consoleAllowed = false);

// Maps COM `number` to `path` for this process, as LK24_COMn does, for a
// path named on a command line. Such a mapping is taken as it is, but never
// reaches the console: that needs the user's own LK24_COMn. Main thread,
// before the port is opened.
void AfMapComPortToPath(int number, const std::string& path);
// Whether the mapping of COM `number` to `path` is the user's own variable.
bool AfMappedOnPurpose(int number, const std::string& path);

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
