#include "ui/DesignFont.h"

namespace lk24 {

QFont DesignFont(const QString& family, int pixelSize, unsigned style) {
  QFont font(family);
  font.setStyleHint(family.startsWith(QLatin1String("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold((style & kBold) != 0);
  font.setItalic((style & kItalic) != 0);
  return font;
}

}  // namespace lk24
