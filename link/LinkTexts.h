#pragma once
// Every text the device link puts in front of the user, in one place.

#include <QString>

namespace lk24::linktext {

inline QString portOpenFailed() { return QStringLiteral("Fehler beim Öffnen COM-Port"); }
inline QString confirmOverwrite() { return QStringLiteral("Gerätekonfiguration überschreiben?"); }
inline QString programCancelled() {
  return QStringLiteral("\"Gerät programmieren\" vom Anwender abgebrochen!");
}
inline QString readDone() { return QStringLiteral("Daten erfolgreich gelesen"); }
inline QString checksumWrong() { return QStringLiteral("EEPROM checksum Fehler"); }
inline QString firmwareMismatch() {
  return QStringLiteral("Geräte-Firmware und Software passen nicht zusammen!");
}
inline QString writeProtected() { return QStringLiteral("Konfiguration überschreiben nicht erlaubt!"); }
inline QString verifyDifference() { return QStringLiteral("! FEHLER Verify !"); }
inline QString programDone() { return QStringLiteral("Daten erfolgreich übertragen"); }
inline QString transferError(int bytePos) {
  return QStringLiteral("Übertragungsfehler bei Byte ") + QString::number(bytePos);
}
inline QString checkConnection() { return QStringLiteral("    ! Verbindung prüfen !"); }
inline QString transmitterRecognised() { return QStringLiteral("- mobiler Sender erkannt -"); }
inline QString receiverRecognised() { return QStringLiteral("- Notrufempfänger erkannt -"); }

inline QString backupSaved(const QString& path) {
  return QStringLiteral(" Gerätedaten gesichert unter \"") + path + QLatin1Char('"');
}
inline QString backupFailed(const QString& reason) {
  return QStringLiteral("Sicherung der Gerätedaten fehlgeschlagen: ") + reason +
         QStringLiteral(". Es wurde nichts programmiert!");
}

inline QString actionRead() { return QStringLiteral("read"); }
inline QString actionWrite() { return QStringLiteral("write"); }
inline QString actionVerify() { return QStringLiteral("verify"); }

}  // namespace lk24::linktext
