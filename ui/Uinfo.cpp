#include "ui/Uinfo.h"

#include "model/MakerInfo.h"

namespace lk24 {

namespace {
TextWindowDesign infoDesign() {
  TextWindowDesign design;
  design.caption = QStringLiteral("Softwareinfo");
  design.size = QSize(369, 289);
  design.panel = QRect(8, 8, 345, 193);
  design.text = QRect(8, 8, 329, 177);  // 16, 16 in the window
  design.backButton = QRect(8, 213, 169, 41);
  design.webButton = QRect(192, 213, 161, 41);
  design.lines = {
      QStringLiteral(" Software: LK24.exe"),
      QStringLiteral(" Version:  1.00"),
      QStringLiteral(" Ausgabe:  08/2007"),
      QString(),
      QStringLiteral(" Hersteller:"),
      QStringLiteral(" ") + QString::fromUtf8(maker::kName),
      QStringLiteral(" ") + QString::fromUtf8(maker::kStreet),
      QStringLiteral(" ") + QString::fromUtf8(maker::kCity),
      QStringLiteral(" Internet: ") + QString::fromUtf8(maker::kHomepageText),
      QStringLiteral(" E-Mail:   ") + QString::fromUtf8(maker::kEmail),
  };
  return design;
}
}  // namespace

TFinfo::TFinfo(QWidget* parent) : TTextWindow(infoDesign(), parent) {
  setObjectName(QStringLiteral("Finfo"));
}

}  // namespace lk24
