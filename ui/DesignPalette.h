#pragma once
// The window's own colours. The design fixes many of them (white client
// area, grey labels, green frames, yellow gauge, red texts); left to the
// desktop, the rest would turn dark around them and leave light text on a
// fixed light ground. So the windows carry their own palette as a whole,
// whatever the desktop's, and every text stands on a ground of its own
// design. Main thread only; no platform calls, so it holds on every system.

#include <QColor>
#include <QPalette>

class QWidget;

namespace lk24 {

// Windows' face of buttons and panels.
inline const QColor kDesignFace(240, 240, 240);

// The red of warnings, errors and the battery estimate: pure red stands at
// only 4:1 on white and 3.5:1 on the face; this one at 6.5:1 and 5.7:1.
inline const QColor kDesignRed(192, 0, 0);

// Black text and a grey for what is shown greyed (disabled fields such as
// the serial numbers and the firmware), both at least 4.5:1 on white and on
// the face.
QPalette DesignPalette();

// Gives window, and the menus it has built, the design's palette.
void ApplyDesignPalette(QWidget& window);

}  // namespace lk24
