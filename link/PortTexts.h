#pragma once
// What the user is told about serial ports, in German: what a COM port
// resolves to, why it cannot be opened and what to do about it, and the
// notes about slow adapters, port grabbers and a pulled cable. The window
// and lk24ctl show the same texts (UTF-8).

#include "serial/AfPortResolver.h"

#include <string>
#include <vector>

namespace lk24::porttext {

// "USB-Seriell-Adapter", "eingebaute serielle Schnittstelle", ...
std::string kindName(TAfPortKind kind);

// What a path that is no serial port is: "eine Datei", "ein Ordner", ...
std::string notSerialName(TAfNotSerial what);

// One port: "/dev/ttyUSB0: USB-Seriell-Adapter usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0".
std::string describe(const TAfSerialPortInfo& info);

// What COM n stands for now: the device and what it is, or that there is none.
std::string describeResolution(const TAfComResolution& resolution);

// The line after "Fehler beim Öffnen COM-Port": the device, the cause and
// its remedy. Empty for a port that was free. `grabbers`: the running
// services that take ports (AfFindPortGrabbers), named as the likely cause
// of a port busy without a visible holder, and brltty of a missing adapter.
std::string openFailureReason(int comNumber, const TAfPortAccess& access,
                          const std::vector<TAfPortHolder>& grabbers = {});

// An adapter that still holds received bytes back for `ms` milliseconds.
std::string latencyNotice(const std::string& devicePath, int ms);

// Running services that take serial ports for themselves.
std::string grabberNotice(const std::vector<TAfPortHolder>& grabbers);

// The device went away while the port was open: "COM1 (/dev/ttyUSB0): " and the cause.
std::string hangUpNotice(int comNumber, const std::string& devicePath);
std::string hangUpCause();

}  // namespace lk24::porttext
