// Which ports COM1, COM2, ... are on Windows. COMn means itself there: the
// system names its ports, and the device namespace "\\.\COMn" opens any of
// them. The ports present are those the SERIALCOMM key of the registry
// lists; its value names are the drivers' device objects, from which the
// kind of port follows. Whether a port is held shows only when it is opened:
// Windows gives a port to one program at a time and names no holder.
#include "serial/AfPortResolver.h"

#include "serial/AfWin32Api.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

namespace {

int ComNumberOf(std::string_view name) {
  if (name.size() < 4 || name.substr(0, 3) != "COM") return 0;
  int number = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9' || number > 100000) return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// The device object's name says which driver made the port.
TAfPortKind KindOf(std::string_view deviceObject) {
  struct Prefix {
    std::string_view text;
    TAfPortKind kind;
  };
  static constexpr std::array<Prefix, 7> kPrefixes{{
      {"\\Device\\VCP", TAfPortKind::UsbAdapter},             // FTDI
      {"\\Device\\Silabser", TAfPortKind::UsbAdapter},        // CP210x
      {"\\Device\\ProlificSerial", TAfPortKind::UsbAdapter},  // PL2303
      {"\\Device\\CH341SER", TAfPortKind::UsbAdapter},        // CH340/CH341
      {"\\Device\\USBSER", TAfPortKind::AcmAdapter},          // usbser.sys, CDC-ACM
      {"\\Device\\Serial", TAfPortKind::OnBoard},             // serial.sys, a UART
      {"\\Device\\QCUSB", TAfPortKind::ModemPort},            // Qualcomm modems
  }};
  for (const Prefix& p : kPrefixes) {
    if (deviceObject.substr(0, p.text.size()) == p.text) return p.kind;
  }
  return TAfPortKind::Other;
}

}  // namespace

std::vector<TAfSerialPortInfo> AfListSerialPorts(const TAfPortRoots&) {
  std::vector<TAfSerialPortInfo> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    std::array<char, 256> name{};
    std::array<char, 64> data{};
    DWORD nameLength = DWORD(name.size());
    DWORD dataLength = DWORD(data.size() - 1);
    DWORD type = 0;
    const LONG status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    const std::string portName(data.data());
    if (ComNumberOf(portName) == 0) continue;
    TAfSerialPortInfo info;
    info.devicePath = portName;
    info.kernelName = portName;
    info.byIdName = std::string(name.data(), nameLength);
    info.kind = KindOf(info.byIdName);
    info.automatic = info.kind != TAfPortKind::ModemPort;
    ports.push_back(std::move(info));
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const TAfSerialPortInfo& a, const TAfSerialPortInfo& b) {
    return ComNumberOf(a.devicePath) < ComNumberOf(b.devicePath);
  });
  return ports;
}

std::optional<TAfSerialPortInfo> AfDescribePort(const std::string& path, const TAfPortRoots& roots) {
  for (TAfSerialPortInfo& info : AfListSerialPorts(roots)) {
    if (info.devicePath == path) return std::move(info);
  }
  return std::nullopt;
}

TAfComResolution AfResolveComPort(int number, const TAfPortRoots& roots) {
  TAfComResolution resolution;
  resolution.number = number;
  if (number < 1) return resolution;
  resolution.source = TAfComResolution::Automatic;
  resolution.devicePath = "COM" + std::to_string(number);
  resolution.info = AfDescribePort(resolution.devicePath, roots);
  return resolution;
}

// Whether another program holds the port shows only when it is opened; a
// port the registry does not list is not there.
std::optional<TAfNotSerial> AfNotSerial(const std::string&, const TAfPortRoots&) { return std::nullopt; }

TAfPortAccess AfCheckPortAccess(const std::string& path, const TAfPortRoots& roots, bool /*consoleAllowed*/) {
  TAfPortAccess access;
  access.devicePath = path;
  if (!AfDescribePort(path, roots)) access.state = TAfPortState::Missing;
  return access;
}

std::optional<TAfPortHolder> AfFindPortHolder(const std::string&, const TAfPortRoots&, pid_t) {
  return std::nullopt;
}

std::vector<TAfPortHolder> AfFindPortGrabbers(const TAfPortRoots&) { return {}; }

std::optional<int> AfLatencyTimerMs(const std::string&, const TAfPortRoots&) { return std::nullopt; }

std::optional<int> AfLatencyTimerMs(const TAfSerialPortInfo&, const TAfPortRoots&) {
  return std::nullopt;
}

std::string AfDeviceGroup(const std::string&) { return {}; }
