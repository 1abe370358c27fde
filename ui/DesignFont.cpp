#include "ui/DesignFont.h"

namespace lk24 {

QFont DesignFont(const QString& family, int pixelSize, unsigned style) {
  const bool fixedPitch = family.startsWith(QLatin1String("Courier")) || family == kFixedPitchFace;
  QFont font(fixedPitch ? kFixedPitchFace : kWindowFace);
  font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold((style & kBold) != 0);
  font.setItalic((style & kItalic) != 0);
  return font;
}

}  // namespace lk24
