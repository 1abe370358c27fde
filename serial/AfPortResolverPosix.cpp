#include "serial/AfPortResolver.h"

#include "serial/AfPortLockPosix.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

TAfSystemCalls systemCalls;

std::optional<std::string> ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!in || !std::getline(in, text)) return std::nullopt;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

std::optional<dev_t> DeviceNumber(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return std::nullopt;
  return st.st_rdev;
}

// sysfs "dev" holds "major:minor".
std::optional<dev_t> SysfsDeviceNumber(const fs::path& entry) {
  const auto text = ReadLine(entry / "dev");
  unsigned major_ = 0, minor_ = 0;
  if (!text || std::sscanf(text->c_str(), "%u:%u", &major_, &minor_) != 2) return std::nullopt;
  return makedev(major_, minor_);
}

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// ttyUSB2 before ttyUSB10: runs of digits compare by their value.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      // Leading zeros aside, the longer run is the larger number.
      while (i + 1 < ei && a[i] == '0') ++i;
      while (j + 1 < ej && b[j] == '0') ++j;
      if (ei - i != ej - j) return ei - i < ej - j;
      if (const int c = a.compare(i, ei - i, b, j, ej - j); c != 0) return c < 0;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// This process's controlling terminal: tty_nr, the seventh field of
// /proc/self/stat, counted after the command name's closing parenthesis.
std::optional<dev_t> ControllingTerminal(const TAfPortRoots& roots) {
  const auto stat = ReadLine(fs::path(roots.proc) / "self/stat");
  if (!stat) return std::nullopt;
  const std::size_t end = stat->rfind(')');
  if (end == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(end + 1));
  std::string state;
  long parent = 0, group = 0, session = 0, tty = 0;
  if (!(fields >> state >> parent >> group >> session >> tty) || tty == 0) return std::nullopt;
  return static_cast<dev_t>(tty);  // the kernel's encoding is makedev's for every tty major
}

// The active console by kernel name and by device number.
struct Consoles {
  std::vector<std::string> names;
  std::vector<dev_t> numbers;

  bool has(const std::string& kernelName, std::optional<dev_t> number) const {
    if (std::find(names.begin(), names.end(), kernelName) != names.end()) return true;
    return number && std::find(numbers.begin(), numbers.end(), *number) != numbers.end();
  }
};

// The kernel's consoles (/dev/console leads to the last of them), the
// names /dev/tty and /dev/console themselves, and the controlling terminal.
Consoles ActiveConsoles(const TAfPortRoots& roots) {
  Consoles consoles;
  consoles.numbers = {makedev(5, 0), makedev(5, 1)};
  if (const auto active = ReadLine(fs::path(roots.sys) / "class/tty/console/active")) {
    std::istringstream words(*active);
    for (std::string w; words >> w;) {
      consoles.names.push_back(w);
      if (const auto number = SysfsDeviceNumber(fs::path(roots.sys) / "class/tty" / w)) consoles.numbers.push_back(*number);
    }
  }
  if (const auto terminal = ControllingTerminal(roots)) consoles.numbers.push_back(*terminal);
  return consoles;
}

// The by-id names by the device number they lead to.
std::vector<std::pair<dev_t, std::string>> ByIdNames(const TAfPortRoots& roots) {
  std::vector<std::pair<dev_t, std::string>> names;
  std::error_code ec;
  for (const auto& link : fs::directory_iterator(fs::path(roots.dev) / "serial/by-id", ec)) {
    if (const auto number = DeviceNumber(link.path().string())) {
      names.emplace_back(*number, link.path().filename().string());
    }
  }
  return names;
}

// Drivers of mobile broadband modems that offer their ports as ttyUSB: a
// laptop's LTE modem must never become COM1 ahead of the cable.
constexpr const char* modemDrivers[] = {"option", "qcserial", "sierra", "qcaux", "ipw", "usb_wwan"};

// What a tty is, by the driver behind it. sysfs links are relative
// (../../../ttyUSB0), so they are resolved before they are read.
TAfPortKind KindOf(const fs::path& entry, const std::string& kernelName) {
  std::error_code ec;
  const fs::path device = fs::canonical(entry / "device", ec);
  if (ec) return TAfPortKind::Other;
  const fs::path driverLink = fs::canonical(device / "driver", ec);
  const std::string driver = ec ? std::string() : driverLink.filename().string();
  const std::string bus = ec ? std::string() : driverLink.parent_path().parent_path().filename().string();
  for (const char* modem : modemDrivers) {
    if (driver == modem) return TAfPortKind::ModemPort;
  }
  if (driver == "cdc_acm" || (driver.empty() && kernelName.rfind("ttyACM", 0) == 0)) return TAfPortKind::AcmAdapter;
  // The usb-serial drivers, and the vendors' own USB drivers with names of
  // their own (ttyCH343USB0, ttyXRUSB0).
  if (bus == "usb-serial" || bus == "usb" || kernelName.rfind("ttyUSB", 0) == 0 ||
      device.string().find("/usb") != std::string::npos) {
    return TAfPortKind::UsbAdapter;
  }
  // An 8250 node whose type reads 0 (PORT_UNKNOWN) has no UART behind it.
  const auto type = ReadLine(entry / "type");
  return type && *type == "0" ? TAfPortKind::OnBoardNoUart : TAfPortKind::OnBoard;
}

TAfSerialPortInfo DescribeSysfsEntry(const fs::path& entry, const std::string& devicePath, const Consoles& consoles,
                                     const std::vector<std::pair<dev_t, std::string>>& byId) {
  TAfSerialPortInfo info;
  info.devicePath = devicePath;
  info.kernelName = entry.filename().string();
  info.kind = KindOf(entry, info.kernelName);
  info.console = consoles.has(info.kernelName, DeviceNumber(devicePath));
  if (const auto number = DeviceNumber(devicePath)) {
    for (const auto& [n, name] : byId) {
      if (n == *number) info.byIdName = name;
    }
  }
  const bool adapter = info.kind == TAfPortKind::UsbAdapter || info.kind == TAfPortKind::AcmAdapter;
  info.automatic = !info.console && (adapter || info.kind == TAfPortKind::OnBoard);
  return info;
}

// COM order: USB-serial bridges, then CDC-ACM devices (a phone or a modem
// may be one), then on-board ports.
int Rank(const TAfSerialPortInfo& p) {
  switch (p.kind) {
    case TAfPortKind::UsbAdapter: return 0;
    case TAfPortKind::AcmAdapter: return 1;
    default: return 2;
  }
}

// Adapters go by their by-id name, which stays the same across re-plugging.
const std::string& SortKey(const TAfSerialPortInfo& p) {
  const bool adapter = p.kind == TAfPortKind::UsbAdapter || p.kind == TAfPortKind::AcmAdapter;
  return adapter && !p.byIdName.empty() ? p.byIdName : p.kernelName;
}

std::string ProcessName(const TAfPortRoots& roots, pid_t pid) {
  return ReadLine(fs::path(roots.proc) / std::to_string(pid) / "comm").value_or(std::string());
}

// The index of a pseudo-terminal slave (/dev/pts/N), from its device
// number (majors 136 to 143), or -1 for any other device.
long PtyIndex(dev_t number) {
  const unsigned m = major(number);
  if (m < 136 || m > 143) return -1;
  return long(m - 136) * 256 + long(minor(number));
}

// The tty class entry of that kernel name, when it stands for this device.
std::optional<fs::path> TtyClassEntry(const TAfPortRoots& roots, const std::string& name, dev_t number) {
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  fs::path entry = fs::path(roots.sys) / "class/tty" / name;
  if (SysfsDeviceNumber(entry) != number) return std::nullopt;
  return entry;
}

// Tries the node's name and that of each link on the way to the node.
std::optional<fs::path> TtyClassEntryAlongLinks(const TAfPortRoots& roots, const fs::path& node, dev_t number) {
  fs::path step = node;
  for (int hops = 0; hops < 8; ++hops) {
    if (auto entry = TtyClassEntry(roots, step.filename().string(), number)) return entry;
    std::error_code ec;
    const fs::path next = fs::read_symlink(step, ec);
    if (ec) break;
    step = next.is_absolute() ? next : step.parent_path() / next;
  }
  return std::nullopt;
}

std::optional<fs::path> FindTtyClassEntry(const TAfPortRoots& roots, dev_t number) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(roots.sys) / "class/tty", ec)) {
    if (SysfsDeviceNumber(entry.path()) == number) return entry.path();
  }
  return std::nullopt;
}

// Whether the descriptor, one of /dev/ptmx, is the master of that index.
bool IsMasterOf(const fs::path& processDir, const char* fd, long index) {
  std::ifstream info(processDir / "fdinfo" / fd);
  for (std::string line; std::getline(info, line);) {
    if (line.rfind("tty-index:", 0) == 0) return std::strtol(line.c_str() + 10, nullptr, 10) == index;
  }
  return false;
}

}  // namespace

std::vector<TAfSerialPortInfo> AfListSerialPorts(const TAfPortRoots& roots) {
  const Consoles consoles = ActiveConsoles(roots);
  const auto byId = ByIdNames(roots);
  std::vector<TAfSerialPortInfo> ports;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(roots.sys) / "class/tty", ec)) {
    // Virtual terminals and the console alias have no device behind them.
    if (!fs::exists(fs::symlink_status(entry.path() / "device"))) continue;
    const std::string node = (fs::path(roots.dev) / entry.path().filename()).string();
    if (!DeviceNumber(node)) continue;
    ports.push_back(DescribeSysfsEntry(entry.path(), node, consoles, byId));
  }
  std::sort(ports.begin(), ports.end(), [](const TAfSerialPortInfo& a, const TAfSerialPortInfo& b) {
    if (a.automatic != b.automatic) return a.automatic;
    if (Rank(a) != Rank(b)) return Rank(a) < Rank(b);
    return NaturalLess(SortKey(a), SortKey(b));
  });
  return ports;
}

TAfComResolution AfResolveComPort(int number, const TAfPortRoots& roots) {
  TAfComResolution r;
  r.number = number;
  const std::string variable = "LK24_COM" + std::to_string(number);
  if (const char* mapped = std::getenv(variable.c_str()); mapped != nullptr && *mapped != '\0') {
    r.source = TAfComResolution::Mapped;
    r.devicePath = mapped;
    r.info = AfDescribePort(r.devicePath, roots);
    r.onPurpose = AfMappedOnPurpose(number, r.devicePath);
    return r;
  }
  if (number < 1) return r;
  int seen = 0;
  for (const TAfSerialPortInfo& port : AfListSerialPorts(roots)) {
    if (!port.automatic || ++seen != number) continue;
    r.source = TAfComResolution::Automatic;
    r.devicePath = port.devicePath;
    r.info = port;
    break;
  }
  return r;
}

std::optional<TAfSerialPortInfo> AfDescribePort(const std::string& path, const TAfPortRoots& roots) {
  const auto number = DeviceNumber(path);
  if (!number) return std::nullopt;
  std::error_code ec;
  const std::string real = fs::weakly_canonical(path, ec).string();
  // The kernel's name is nearly always the node's own or that of a node a
  // link leads to (/dev/serial/by-id); the whole class is looked through
  // only for other names. Pseudo-terminals have no class entry at all.
  auto entry = TtyClassEntryAlongLinks(roots, path, *number);
  if (!entry && PtyIndex(*number) < 0) entry = FindTtyClassEntry(roots, *number);
  const Consoles consoles = ActiveConsoles(roots);
  if (entry && fs::exists(fs::symlink_status(*entry / "device"))) {
    return DescribeSysfsEntry(*entry, path, consoles, ByIdNames(roots));
  }
  TAfSerialPortInfo info;
  info.devicePath = path;
  info.console = consoles.has(entry ? entry->filename().string() : std::string(), number);
  if (real.rfind("/dev/pts/", 0) == 0) {
    info.kind = TAfPortKind::PseudoTerminal;
    info.kernelName = real.substr(5);
  } else {
    info.kernelName = fs::path(real).filename().string();
  }
  return info;
}

std::optional<TAfNotSerial> AfNotSerial(const std::string& path, const TAfPortRoots& roots) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  if (S_ISREG(st.st_mode)) return TAfNotSerial::File;
  if (S_ISDIR(st.st_mode)) return TAfNotSerial::Folder;
  if (S_ISFIFO(st.st_mode)) return TAfNotSerial::Pipe;
  if (S_ISSOCK(st.st_mode)) return TAfNotSerial::Socket;
  if (!S_ISCHR(st.st_mode)) return TAfNotSerial::OtherDevice;
  if (PtyIndex(st.st_rdev) >= 0) return std::nullopt;
  // Without a readable tty class there is nothing to judge by: the open tells.
  std::error_code ec;
  if (fs::is_empty(fs::path(roots.sys) / "class/tty", ec) || ec) return std::nullopt;
  if (TtyClassEntryAlongLinks(roots, path, st.st_rdev) || FindTtyClassEntry(roots, st.st_rdev)) return std::nullopt;
  return TAfNotSerial::OtherDevice;
}

TAfPortAccess AfCheckPortAccess(const std::string& path, const TAfPortRoots& roots, bool consoleAllowed) {
  TAfPortAccess access;
  access.devicePath = path;
  if (const auto what = AfNotSerial(path, roots)) {
    access.state = TAfPortState::NotSerial;
    access.notSerial = *what;
    return access;
  }
  const auto info = AfDescribePort(path, roots);
  if (!info) {
    access.state = TAfPortState::Missing;
    access.systemError = ENOENT;
    return access;
  }
  if (info->console && !consoleAllowed) {
    access.state = TAfPortState::Console;
    return access;
  }
  if (info->kind == TAfPortKind::OnBoardNoUart) {
    access.state = TAfPortState::NoUart;
    return access;
  }
  if (AfSysAccess(path.c_str(), R_OK | W_OK) != 0) {
    access.systemError = errno;
    if (errno == EACCES || errno == EPERM) {
      access.state = TAfPortState::NoPermission;
      access.group = AfDeviceGroup(path);
    } else {
      access.state = errno == ENOENT ? TAfPortState::Missing : TAfPortState::Failed;
    }
    return access;
  }
  if (auto holder = AfLockFileHolder(info->kernelName, roots)) {
    access.state = TAfPortState::Held;
    access.holder = std::move(holder);
    return access;
  }
  if (auto holder = AfFindPortHolder(path, roots, getpid())) {
    access.state = TAfPortState::Held;
    access.holder = std::move(holder);
  }
  return access;
}

std::optional<TAfPortHolder> AfFindPortHolder(const std::string& path, const TAfPortRoots& roots,
                                              pid_t ignore) {
  const auto number = DeviceNumber(path);
  if (!number) return std::nullopt;
  const long ptyIndex = PtyIndex(*number);
  const dev_t ptmxNumber = makedev(5, 2);  // /dev/ptmx, also as /dev/pts/ptmx
  DIR* processes = opendir(roots.proc.c_str());
  if (processes == nullptr) return std::nullopt;
  std::optional<TAfPortHolder> holder;
  // Every open waits for this look, so it goes by descriptor-relative calls.
  // Only files in /dev are looked at (a stat of a file on a dead network
  // share could hang); their device number tells the port and the masters.
  while (const dirent* process = readdir(processes)) {
    const std::string pidText = process->d_name;
    if (!IsDigits(pidText)) continue;
    const pid_t pid = pid_t(std::strtol(pidText.c_str(), nullptr, 10));
    if (pid == ignore) continue;
    // Processes of other users stay closed to us; that is as far as we see.
    const int fdFolder = openat(dirfd(processes), (pidText + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdFolder < 0) continue;
    DIR* fds = fdopendir(fdFolder);
    if (fds == nullptr) {
      close(fdFolder);
      continue;
    }
    bool holdsDevice = false;
    bool deviceEnd = false;
    while (const dirent* fd = readdir(fds)) {
      char target[6];  // enough to see "/dev/"; the rest is cut off
      if (readlinkat(fdFolder, fd->d_name, target, sizeof target) < 5 || std::memcmp(target, "/dev/", 5) != 0) {
        continue;
      }
      struct stat st {};
      if (fstatat(fdFolder, fd->d_name, &st, 0) != 0 || !S_ISCHR(st.st_mode)) continue;
      if (st.st_rdev == *number) holdsDevice = true;
      if (ptyIndex >= 0 && st.st_rdev == ptmxNumber &&
          IsMasterOf(fs::path(roots.proc) / pidText, fd->d_name, ptyIndex)) {
        deviceEnd = true;
      }
    }
    closedir(fds);
    if (holdsDevice && !deviceEnd) {
      holder = TAfPortHolder{pid, ProcessName(roots, pid)};
      break;
    }
  }
  closedir(processes);
  return holder;
}

std::vector<TAfPortHolder> AfFindPortGrabbers(const TAfPortRoots& roots) {
  static const char* const grabbers[] = {"ModemManager", "brltty", "gpsd"};
  std::vector<TAfPortHolder> found;
  std::error_code ec;
  for (const auto& process : fs::directory_iterator(roots.proc, ec)) {
    const std::string pidText = process.path().filename().string();
    if (!IsDigits(pidText)) continue;
    const pid_t pid = pid_t(std::strtol(pidText.c_str(), nullptr, 10));
    const std::string name = ProcessName(roots, pid);
    for (const char* grabber : grabbers) {
      if (name == grabber) found.push_back(TAfPortHolder{pid, name});
    }
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
  return found;
}

std::optional<int> AfLatencyTimerMs(const std::string& path, const TAfPortRoots& roots) {
  const auto info = AfDescribePort(path, roots);
  return info ? AfLatencyTimerMs(*info, roots) : std::nullopt;
}

std::optional<int> AfLatencyTimerMs(const TAfSerialPortInfo& port, const TAfPortRoots& roots) {
  if (port.kernelName.empty()) return std::nullopt;
  const auto text = ReadLine(fs::path(roots.sys) / "class/tty" / port.kernelName / "device/latency_timer");
  if (!text || !IsDigits(*text)) return std::nullopt;
  return std::atoi(text->c_str());
}

std::string AfDeviceGroup(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};
  // Joining a group helps only when it may read and write; joining root's never is a remedy.
  if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_gid == 0) return {};
  if (const group* g = getgrgid(st.st_gid); g != nullptr && g->gr_name != nullptr) return g->gr_name;
  return std::to_string(st.st_gid);
}

void AfSetSystemCalls(TAfSystemCalls calls) { systemCalls = std::move(calls); }

int AfSysOpen(const char* path, int flags) {
  return systemCalls.open ? systemCalls.open(path, flags) : ::open(path, flags);
}

int AfSysAccess(const char* path, int mode) {
  return systemCalls.access ? systemCalls.access(path, mode) : ::access(path, mode);
}

int AfSysIoctl(int fd, unsigned long request, void* arg) {
  return systemCalls.ioctl ? systemCalls.ioctl(fd, request, arg) : ::ioctl(fd, request, arg);
}
