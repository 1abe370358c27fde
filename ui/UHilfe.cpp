#include "ui/UHilfe.h"

namespace lk24 {

namespace {
TextWindowDesign helpDesign() {
  TextWindowDesign design;
  design.caption = QStringLiteral(" LK24 Hilfe");
  design.size = QSize(460, 290);
  design.panel = QRect(8, 8, 433, 193);
  design.text = QRect(8, 8, 417, 177);
  design.backButton = QRect(8, 213, 217, 41);
  design.webButton = QRect(232, 213, 209, 41);
  design.lines = {
      QStringLiteral("Eine Direkt-Hilfe ist noch nicht verfügbar."),
      QStringLiteral("Die aktuelle Dokumentation sowie Software-"),
      QStringLiteral("Updates finden Sie auf unserer homepage."),
      QString(),
      QStringLiteral("Kontexthilfe wird angezeigt, wenn Sie mit dem "),
      QStringLiteral("Mauszeiger über einem Feld stehen bleiben."),
      QString(),
      QStringLiteral("Für weitere Fragen kontaktieren Sie uns bitte "),
      QStringLiteral("direkt per Telefon oder email."),
  };
  return design;
}
}  // namespace

TFhilfe::TFhilfe(QWidget* parent) : TTextWindow(helpDesign(), parent) {
  setObjectName(QStringLiteral("Fhilfe"));
}

}  // namespace lk24
