#pragma once
// What a screen reader (Orca through AT-SPI, Narrator through UI Automation)
// announces for each control: the caption the window shows beside it as its
// name, with its page where the same caption stands on another page too, and
// its hint as its description. Main thread only.

#include <QString>

#include <string_view>

class QWidget;

namespace lk24 {

struct SettingsControls;

// The name of a field, switch or radio button of the settings tables, as
// the window shows it before any name is made unique.
QString CaptionForScreenReaders(std::string_view control);

// Names every field, check box and radio button of the settings tables.
void NameSettingsForScreenReaders(const SettingsControls& controls);

// The controls of the main window's right-hand column: the two big buttons,
// whose captions are laid out on two lines, and the log.
void NameControlColumnForScreenReaders(QWidget& window);

}  // namespace lk24
