#include "link/PortTexts.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace lk24::porttext {

namespace {

// Windows' error numbers are its own, and its remedy for a missing port
// names where Windows lists its ports.
#ifdef _WIN32
constexpr const char* kMissingRemedy =
    " – ist der USB-Adapter eingesteckt? \"lk24ctl ports\" und der Geräte-Manager zeigen die COM-Ports, die "
    "Windows kennt";
constexpr int kAdapterSilent = 31;  // ERROR_GEN_FAILURE: the device does not work
std::string systemErrorText(int error) { return "Windows-Fehler " + std::to_string(error); }
#else
constexpr const char* kMissingRemedy = " – ist der USB-Adapter eingesteckt?";
constexpr int kAdapterSilent = EIO;
std::string systemErrorText(int error) { return std::strerror(error); }
#endif

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

std::string portName(int comNumber, const std::string& devicePath) {
  const std::string com = "COM" + std::to_string(comNumber);
  return devicePath.empty() ? com : com + " (" + devicePath + ")";
}

std::string holderName(const TAfPortHolder& holder) {
  if (holder.pid == 0) return "unbekanntes Programm (Sperrdatei ohne Prozessnummer)";
  const std::string name = holder.name.empty() ? "unbekanntes Programm" : holder.name;
  return name + " (PID " + std::to_string(holder.pid) + ")";
}

std::vector<std::string> holderNames(const std::vector<TAfPortHolder>& holders) {
  std::vector<std::string> names;
  for (const TAfPortHolder& holder : holders) names.push_back(holderName(holder));
  return names;
}

bool runs(const std::vector<TAfPortHolder>& grabbers, const char* name) {
  for (const TAfPortHolder& g : grabbers) {
    if (g.name == name) return true;
  }
  return false;
}

// brltty takes USB-serial adapters whose chip some braille displays use too.
std::string brlttyHint(const std::vector<TAfPortHolder>& grabbers) {
  if (!runs(grabbers, "brltty")) return {};
  return " – brltty läuft und hat den Adapter vielleicht übernommen: brltty "
         "abschalten (sudo systemctl mask brltty-udev.service brltty.service) und den "
         "Adapter neu einstecken";
}

std::string userName() {
#ifdef _WIN32
  if (const char* name = std::getenv("USERNAME")) return name;
#else
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr) return pw->pw_name;
#endif
  return "$USER";
}

}  // namespace

std::string kindName(TAfPortKind kind) {
  switch (kind) {
    case TAfPortKind::UsbAdapter: return "USB-Seriell-Adapter";
    case TAfPortKind::AcmAdapter: return "USB-Gerät (ACM)";
    case TAfPortKind::OnBoard: return "eingebaute serielle Schnittstelle";
    case TAfPortKind::OnBoardNoUart: return "eingebauter Anschluss ohne UART";
    case TAfPortKind::PseudoTerminal: return "Pseudo-Terminal (Simulator oder Netzwerkbrücke)";
    case TAfPortKind::ModemPort: return "Mobilfunkmodem (nur über LK24_COMn)";
    case TAfPortKind::Other: break;
  }
  return "Gerät";
}

std::string notSerialName(TAfNotSerial what) {
  switch (what) {
    case TAfNotSerial::File: return "eine Datei";
    case TAfNotSerial::Folder: return "ein Ordner";
    case TAfNotSerial::Pipe: return "eine Pipe";
    case TAfNotSerial::Socket: return "ein Socket";
    case TAfNotSerial::OtherDevice: break;
  }
  return "ein anderes Gerät";
}

std::string describe(const TAfSerialPortInfo& info) {
  std::string text = info.devicePath + ": " + kindName(info.kind);
  if (!info.byIdName.empty()) text += " " + info.byIdName;
  if (info.console) text += ", Systemkonsole";
  return text;
}

std::string describeResolution(const TAfComResolution& r) {
  if (r.source == TAfComResolution::NoPort) return "keine serielle Schnittstelle gefunden";
  std::string text = r.info ? describe(*r.info) : r.devicePath + ": nicht vorhanden";
  if (r.source == TAfComResolution::Mapped) text += " (über LK24_COM" + std::to_string(r.number) + ")";
  return text;
}

std::string openFailureReason(int comNumber, const TAfPortAccess& access,
                              const std::vector<TAfPortHolder>& grabbers) {
  const std::string port = portName(comNumber, access.devicePath) + ": ";
  switch (access.state) {
    case TAfPortState::Free:
      return {};
    case TAfPortState::NoPort: {
      const std::string com = "COM" + std::to_string(comNumber);
      const std::string brltty = brlttyHint(grabbers);
      if (!brltty.empty()) return com + ": kein USB-Adapter gefunden" + brltty;
      return com + ": keine serielle Schnittstelle gefunden – USB-Adapter einstecken oder LK24_" + com +
             " auf das Gerät setzen";
    }
    case TAfPortState::Missing: {
      const std::string brltty = brlttyHint(grabbers);
      if (!brltty.empty()) return port + "Gerät nicht vorhanden" + brltty;
      return port + "Gerät nicht vorhanden" + kMissingRemedy;
    }
    case TAfPortState::NoUart:
      return port + "kein UART hinter diesem Anschluss – einen anderen COM-Port oder einen USB-Adapter verwenden";
    case TAfPortState::NoPermission:
      if (access.group.empty()) {
        return port + "nur root darf diesen Anschluss öffnen – eine udev-Regel, die ihn der Gruppe dialout "
                      "gibt (GROUP=\"dialout\", MODE=\"0660\"), oder den Administrator fragen";
      }
      return port + "keine Berechtigung – den Benutzer in die Gruppe " + access.group +
             " aufnehmen (sudo usermod -aG " + access.group + " " + userName() + ") und neu anmelden";
    case TAfPortState::Held: {
      if (access.holder) {
        return port + "wird von einem anderen Programm benutzt: " + holderName(*access.holder) +
               " – dieses Programm beenden";
      }
      // Exclusive without a holder we can see: a service of another user.
      if (!grabbers.empty()) {
        return port + "wird von einem anderen Programm benutzt, vermutlich von " + joined(holderNames(grabbers), ", ") +
               " – diesen Dienst für den Adapter abschalten oder beenden";
      }
      return port + "wird von einem anderen Programm benutzt – dieses Programm beenden";
    }
    case TAfPortState::NotSerial:
      return port + "keine serielle Schnittstelle, sondern " + notSerialName(access.notSerial) +
             " – den Anschluss des Adapters angeben, \"lk24ctl ports\" zeigt sie";
    case TAfPortState::Console:
      return port + "ist die Konsole dieses Rechners (Systemkonsole oder das Terminal dieser Sitzung), nichts "
                    "gesendet – nur wenn gewollt: LK24_COM" + std::to_string(comNumber) + "=" + access.devicePath +
             " setzen";
    case TAfPortState::Failed:
      if (access.systemError == kAdapterSilent) {
        return port + "der Adapter antwortet nicht – den USB-Adapter abziehen und wieder einstecken";
      }
      break;
  }
  return port + "lässt sich nicht öffnen (" + systemErrorText(access.systemError) + ")";
}

std::string latencyNotice(const std::string& devicePath, int ms) {
  // A by-id name leads to the kernel's own name, under which sysfs has it.
  std::error_code ec;
  const std::string name = std::filesystem::weakly_canonical(devicePath, ec).filename().string();
  return "Hinweis: " + devicePath + " hält empfangene Bytes bis zu " + std::to_string(ms) +
         " ms zurück, das Lesen dauert dadurch Sekunden statt Bruchteilen. Abhilfe: echo 1 | sudo tee "
         "/sys/class/tty/" + name + "/device/latency_timer";
}

std::string grabberNotice(const std::vector<TAfPortHolder>& grabbers) {
  if (grabbers.empty()) return {};
  return "Es läuft " + joined(holderNames(grabbers), ", ") +
         ", das serielle Anschlüsse für sich beansprucht – für diesen Adapter abschalten oder beenden";
}

std::string hangUpCause() { return "Verbindung getrennt – wurde der USB-Adapter abgezogen?"; }

std::string hangUpNotice(int comNumber, const std::string& devicePath) {
  return portName(comNumber, devicePath) + ": " + hangUpCause();
}

}  // namespace lk24::porttext
