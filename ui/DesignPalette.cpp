#include "ui/DesignPalette.h"

#include <QMenu>
#include <QWidget>

namespace lk24 {

namespace {
// Windows' own grey text (109, 109, 109) is just 4.5:1 on the face; a little
// darker keeps a margin for anti-aliased strokes.
const QColor kGreyedText(80, 80, 80);
}  // namespace

QPalette DesignPalette() {
  // Bevels (light, mid, dark, shadow) derived from the face, as Windows does.
  QPalette palette(kDesignFace, kDesignFace);
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool enabled = group != QPalette::Disabled;
    const QColor text = enabled ? QColor(Qt::black) : kGreyedText;
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::Text, text);
    palette.setColor(group, QPalette::ButtonText, text);
    palette.setColor(group, QPalette::Base, enabled ? QColor(Qt::white) : kDesignFace);
    palette.setColor(group, QPalette::AlternateBase, QColor(247, 247, 247));
    palette.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(group, QPalette::ToolTipText, Qt::black);
    palette.setColor(group, QPalette::PlaceholderText, kGreyedText);
    palette.setColor(group, QPalette::Highlight, enabled ? QColor(0, 120, 215) : QColor(204, 204, 204));
    palette.setColor(group, QPalette::HighlightedText, enabled ? QColor(Qt::white) : kGreyedText);
    palette.setColor(group, QPalette::BrightText, Qt::white);
    palette.setColor(group, QPalette::Link, QColor(0, 0, 238));
    palette.setColor(group, QPalette::LinkVisited, QColor(85, 26, 139));
  }
  return palette;
}

void ApplyDesignPalette(QWidget& window) {
  const QPalette palette = DesignPalette();
  window.setPalette(palette);
  for (QWidget* child : window.findChildren<QWidget*>()) {
    // Menus open as windows of their own and inherit nothing from the
    // window; a widget with a style sheet keeps the palette it had when the
    // sheet was set (the tab bars: the desktop's).
    if (qobject_cast<QMenu*>(child) || !child->styleSheet().isEmpty()) child->setPalette(palette);
  }
}

}  // namespace lk24
