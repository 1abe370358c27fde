#pragma once
// Fonts named the way the window's design names them. The desktop's font
// matching picks the nearest installed face; the style hint keeps a
// fixed-pitch design font fixed-pitch when no such face is installed.

#include <QFont>
#include <QString>

namespace lk24 {

enum FontStyle : unsigned { kPlain = 0, kBold = 1, kItalic = 2 };

QFont DesignFont(const QString& family, int pixelSize, unsigned style = kPlain);

}  // namespace lk24
