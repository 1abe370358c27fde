#pragma once
// Fonts named the way the window's design names them ("MS Sans Serif",
// "Verdana", "Arial", "Courier New"), drawn in one sans face for the whole
// window and one fixed-pitch face for the texts laid out in columns, so
// the layout measured here is the layout every machine shows.
//
// The design's places and sizes were made for Arial and Courier New. Windows
// has both. Elsewhere Liberation Sans and Liberation Mono (Debian's
// fonts-liberation2) stand in: their widths are Arial's and Courier New's,
// so every caption fits where the design puts it; they are hinted for small
// sizes and have every German letter.

#include <QFont>
#include <QString>

namespace lk24 {

enum FontStyle : unsigned { kPlain = 0, kBold = 1, kItalic = 2 };

#ifdef _WIN32
inline const QString kWindowFace = QStringLiteral("Arial");
inline const QString kFixedPitchFace = QStringLiteral("Courier New");
#else
inline const QString kWindowFace = QStringLiteral("Liberation Sans");
inline const QString kFixedPitchFace = QStringLiteral("Liberation Mono");
#endif

QFont DesignFont(const QString& family, int pixelSize, unsigned style = kPlain);

}  // namespace lk24
