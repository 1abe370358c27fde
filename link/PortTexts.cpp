#include "link/PortTexts.h"

#include <QStringList>

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace lk24::porttext {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

QString portName(int comNumber, const std::string& devicePath) {
  const QString com = QStringLiteral("COM") + QString::number(comNumber);
  return devicePath.empty() ? com : com + QStringLiteral(" (") + q(devicePath) + QStringLiteral(")");
}

QString holderName(const TAfPortHolder& holder) {
  if (holder.pid == 0) return QStringLiteral("unbekanntes Programm (Sperrdatei ohne Prozessnummer)");
  const QString name = holder.name.empty() ? QStringLiteral("unbekanntes Programm") : q(holder.name);
  return name + QStringLiteral(" (PID ") + QString::number(holder.pid) + QStringLiteral(")");
}

bool runs(const std::vector<TAfPortHolder>& grabbers, const char* name) {
  for (const TAfPortHolder& g : grabbers) {
    if (g.name == name) return true;
  }
  return false;
}

// brltty takes USB-serial adapters whose chip some braille displays use too.
QString brlttyHint(const std::vector<TAfPortHolder>& grabbers) {
  if (!runs(grabbers, "brltty")) return {};
  return QStringLiteral(" – brltty läuft und hat den Adapter vielleicht übernommen: brltty "
                        "abschalten (sudo systemctl mask brltty-udev.service brltty.service) und den "
                        "Adapter neu einstecken");
}

QString userName() {
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
  return QStringLiteral("$USER");
}

}  // namespace

QString kindName(TAfPortKind kind) {
  switch (kind) {
    case TAfPortKind::UsbAdapter: return QStringLiteral("USB-Seriell-Adapter");
    case TAfPortKind::AcmAdapter: return QStringLiteral("USB-Gerät (ACM)");
    case TAfPortKind::OnBoard: return QStringLiteral("eingebaute serielle Schnittstelle");
    case TAfPortKind::OnBoardNoUart: return QStringLiteral("eingebauter Anschluss ohne UART");
    case TAfPortKind::PseudoTerminal: return QStringLiteral("Pseudo-Terminal (Simulator oder Netzwerkbrücke)");
    case TAfPortKind::ModemPort: return QStringLiteral("Mobilfunkmodem (nur über LK24_COMn)");
    case TAfPortKind::Other: break;
  }
  return QStringLiteral("Gerät");
}

QString describe(const TAfSerialPortInfo& info) {
  QString text = q(info.devicePath) + QStringLiteral(": ") + kindName(info.kind);
  if (!info.byIdName.empty()) text += QStringLiteral(" ") + q(info.byIdName);
  if (info.console) text += QStringLiteral(", Systemkonsole");
  return text;
}

QString describeResolution(const TAfComResolution& r) {
  if (r.source == TAfComResolution::NoPort) return QStringLiteral("keine serielle Schnittstelle gefunden");
  QString text = r.info ? describe(*r.info) : q(r.devicePath) + QStringLiteral(": nicht vorhanden");
  if (r.source == TAfComResolution::Mapped) {
    text += QStringLiteral(" (über LK24_COM") + QString::number(r.number) + QStringLiteral(")");
  }
  return text;
}

QString openFailureReason(int comNumber, const TAfPortAccess& access,
                          const std::vector<TAfPortHolder>& grabbers) {
  const QString port = portName(comNumber, access.devicePath) + QStringLiteral(": ");
  switch (access.state) {
    case TAfPortState::Free:
      return {};
    case TAfPortState::NoPort: {
      const QString brltty = brlttyHint(grabbers);
      if (!brltty.isEmpty()) return QStringLiteral("COM%1: kein USB-Adapter gefunden").arg(comNumber) + brltty;
      return QStringLiteral("COM%1: keine serielle Schnittstelle gefunden – USB-Adapter einstecken "
                            "oder LK24_COM%1 auf das Gerät setzen")
          .arg(comNumber);
    }
    case TAfPortState::Missing: {
      const QString brltty = brlttyHint(grabbers);
      if (!brltty.isEmpty()) return port + QStringLiteral("Gerät nicht vorhanden") + brltty;
      return port + QStringLiteral("Gerät nicht vorhanden – ist der USB-Adapter eingesteckt?");
    }
    case TAfPortState::NoUart:
      return port + QStringLiteral("kein UART hinter diesem Anschluss – einen anderen COM-Port "
                                   "oder einen USB-Adapter verwenden");
    case TAfPortState::NoPermission:
      if (access.group.empty()) {
        return port + QStringLiteral("nur root darf diesen Anschluss öffnen – eine udev-Regel, die ihn "
                                     "der Gruppe dialout gibt (GROUP=\"dialout\", MODE=\"0660\"), "
                                     "oder den Administrator fragen");
      }
      return port + QStringLiteral("keine Berechtigung – den Benutzer in die Gruppe %1 aufnehmen "
                                   "(sudo usermod -aG %1 %2) und neu anmelden")
                        .arg(q(access.group), userName());
    case TAfPortState::Held: {
      if (access.holder) {
        return port + QStringLiteral("wird von einem anderen Programm benutzt: ") +
               holderName(*access.holder) + QStringLiteral(" – dieses Programm beenden");
      }
      // Exclusive without a holder we can see: a service of another user.
      QStringList suspects;
      for (const TAfPortHolder& g : grabbers) suspects << holderName(g);
      if (!suspects.isEmpty()) {
        return port + QStringLiteral("wird von einem anderen Programm benutzt, vermutlich von ") +
               suspects.join(QStringLiteral(", ")) +
               QStringLiteral(" – diesen Dienst für den Adapter abschalten oder beenden");
      }
      return port + QStringLiteral("wird von einem anderen Programm benutzt – dieses Programm beenden");
    }
    case TAfPortState::Failed:
      if (access.systemError == EIO) {
        return port + QStringLiteral("der Adapter antwortet nicht – den USB-Adapter abziehen und "
                                     "wieder einstecken");
      }
      break;
  }
  return port + QStringLiteral("lässt sich nicht öffnen (") +
         QString::fromLocal8Bit(std::strerror(access.systemError)) + QStringLiteral(")");
}

QString latencyNotice(const std::string& devicePath, int ms) {
  // A by-id name leads to the kernel's own name, under which sysfs has it.
  std::error_code ec;
  const std::string name = std::filesystem::weakly_canonical(devicePath, ec).filename().string();
  return QStringLiteral("Hinweis: %1 hält empfangene Bytes bis zu %2 ms zurück, das Lesen dauert "
                        "dadurch Sekunden statt Bruchteilen. Abhilfe: echo 1 | sudo tee "
                        "/sys/class/tty/%3/device/latency_timer")
      .arg(q(devicePath))
      .arg(ms)
      .arg(q(name));
}

QString grabberNotice(const std::vector<TAfPortHolder>& grabbers) {
  QStringList names;
  for (const TAfPortHolder& g : grabbers) names << holderName(g);
  if (names.isEmpty()) return {};
  return QStringLiteral("Es läuft %1, das serielle Anschlüsse für sich beansprucht – für diesen "
                        "Adapter abschalten oder beenden")
      .arg(names.join(QStringLiteral(", ")));
}

QString hangUpCause() { return QStringLiteral("Verbindung getrennt – wurde der USB-Adapter abgezogen?"); }

QString hangUpNotice(int comNumber, const std::string& devicePath) {
  return portName(comNumber, devicePath) + QStringLiteral(": ") + hangUpCause();
}

}  // namespace lk24::porttext
