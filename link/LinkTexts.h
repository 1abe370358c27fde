#pragma once
// Every text the device link puts in front of the user, in one place (UTF-8).

#include <functional>
#include <string>
#include <vector>

namespace lk24::linktext {

// Every text the link shows passes through shown(). A test may decorate
// them all to prove that nothing outside the link decides by their wording;
// without a decoration (always, outside tests) shown() returns the text.
// Main thread only.
void setDecoration(std::function<std::string(const std::string&)> decorate);
std::string shown(const std::string& text);

inline std::string portOpenFailed() { return "Fehler beim Öffnen COM-Port"; }
inline std::string confirmOverwrite() { return "Gerätekonfiguration überschreiben?"; }
inline std::string programCancelled() { return "\"Gerät programmieren\" vom Anwender abgebrochen!"; }
inline std::string readDone() { return "Daten erfolgreich gelesen"; }
inline std::string checksumWrong() { return "EEPROM checksum Fehler"; }
inline std::string firmwareMismatch() { return "Geräte-Firmware und Software passen nicht zusammen!"; }
inline std::string writeProtected() { return "Konfiguration überschreiben nicht erlaubt!"; }
inline std::string verifyDifference() { return "! FEHLER Verify !"; }
// One red line after the single "! FEHLER Verify !" entry: the count, then
// "Alarm nach (Byte 24): Gerät 0, gewünscht 32" for each differing byte, a
// byte no setting shows named "Byte N" alone.
inline std::string verifyDetails(const std::vector<std::string>& details) {
  std::string text = std::to_string(details.size()) + (details.size() == 1 ? " Byte" : " Bytes") + " abweichend: ";
  for (std::size_t i = 0; i < details.size(); ++i) text += (i == 0 ? "" : "; ") + details[i];
  return text;
}
inline std::string verifyDetail(const std::string& byteName, int device, int wanted) {
  return byteName + ": Gerät " + std::to_string(device) + ", gewünscht " + std::to_string(wanted);
}
// Two reads of one byte gave different values: the line, not the device.
inline std::string readsDiffer(int address, int first, int second) {
  return "Leitung gestört: zwei Lesungen von Byte " + std::to_string(address) + " weichen ab (" +
         std::to_string(first) + ", dann " + std::to_string(second) + ")";
}
// A backup is written back only into the device it was taken from.
inline std::string otherDevice(const std::string& backupDevice, const std::string& presentDevice) {
  return "Die Sicherung stammt von einem anderen Gerät (Sicherung: " + backupDevice + ", angeschlossen: " +
         presentDevice + "). Es wurde nichts programmiert!";
}
inline std::string programDone() { return "Daten erfolgreich übertragen"; }
inline std::string transferError(int bytePos) { return "Übertragungsfehler bei Byte " + std::to_string(bytePos); }
inline std::string checkConnection() { return "    ! Verbindung prüfen !"; }
// More than the one answer expected came back.
inline std::string extraBytes(int count) {
  return "Leitung gestört: " + std::to_string(count) + " Bytes statt einer Antwort empfangen";
}
// A byte came after a pass's last answer, when no command was waiting for one.
inline std::string unexpectedAnswer() { return "Leitung gestört: Byte empfangen, ohne dass ein Befehl darauf wartete"; }
inline std::string loopback() { return "Kabel gibt die Befehle zurück – Schleife oder falsches Kabel?"; }
inline std::string transmitterRecognised() { return "- mobiler Sender erkannt -"; }
inline std::string receiverRecognised() { return "- Notrufempfänger erkannt -"; }

inline std::string backupSaved(const std::string& path) { return " Gerätedaten gesichert unter \"" + path + '"'; }
inline std::string backupFailed(const std::string& reason) {
  return "Sicherung der Gerätedaten fehlgeschlagen: " + reason + ". Es wurde nichts programmiert!";
}

inline std::string actionRead() { return "read"; }
inline std::string actionWrite() { return "write"; }
inline std::string actionVerify() { return "verify"; }

}  // namespace lk24::linktext
