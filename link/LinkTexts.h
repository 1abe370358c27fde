#pragma once
// Every text the device link puts in front of the user, in one place.

#include <QString>
#include <QStringList>

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
// One red line after the "! FEHLER Verify !" entries; details holds
// "Adresse 40: Gerät 0, gewünscht 32" for each differing byte.
inline QString verifyDetails(const QStringList& details) { return details.join(QStringLiteral("; ")); }
inline QString verifyDetail(int address, int device, int wanted) {
  return QStringLiteral("Adresse %1: Gerät %2, gewünscht %3").arg(address).arg(device).arg(wanted);
}
// Two reads of one byte gave different values: the line, not the device.
inline QString readsDiffer(int address, int first, int second) {
  return QStringLiteral("Leitung gestört: zwei Lesungen von Byte %1 weichen ab (%2, dann %3)")
      .arg(address)
      .arg(first)
      .arg(second);
}
// A backup is written back only into the device it was taken from.
inline QString otherDevice(const QString& backupDevice, const QString& presentDevice) {
  return QStringLiteral("Die Sicherung stammt von einem anderen Gerät (Sicherung: %1, angeschlossen: %2). "
                        "Es wurde nichts programmiert!")
      .arg(backupDevice, presentDevice);
}
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
