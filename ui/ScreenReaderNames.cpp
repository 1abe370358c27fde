#include "ui/ScreenReaderNames.h"

#include "editor/FieldMap.h"
#include "editor/PageLayout.h"
#include "editor/SettingsInWords.h"
#include "editor/SwitchMap.h"
#include "ui/SettingsPageBuilder.h"

#include <QWidget>

#include <map>
#include <vector>

namespace lk24 {

namespace {

const IdentityRow* findIdentity(std::string_view control) {
  for (const IdentityRow& display : identityDisplays()) {
    if (display.control == control) return &display;
  }
  return nullptr;
}

std::string_view halfTitle(std::string_view half) {
  for (const PageControlRow& row : pageControls()) {
    if (row.half == half) return row.title;
  }
  return {};
}

// Where the control stands, to tell apart captions that repeat.
QString pageOf(std::string_view control) {
  if (const IdentityRow* display = findIdentity(control)) return tableText(halfTitle(display->container));
  return QString::fromStdString(settingOfControl(control).page);
}

std::vector<std::string_view> namedControls() {
  std::vector<std::string_view> names;
  for (const IdentityRow& display : identityDisplays()) names.push_back(display.control);
  for (const FieldRow& field : allFields()) names.push_back(field.control);
  for (const SwitchRow& row : switchMap()) {
    names.push_back(row.control);
    if (!row.clearControl.empty()) names.push_back(row.clearControl);
  }
  return names;
}

}  // namespace

QString CaptionForScreenReaders(std::string_view control) {
  if (const SwitchRow* row = findSwitch(control)) {
    // A radio button is read by its own words ("fern", "nah"), a check box
    // by the caption of its setting.
    if (row->kind == SwitchKind::RadioPair) return tableText(control == row->control ? row->controlText : row->clearText);
    return QString::fromStdString(settingOfControl(control).caption);
  }
  if (const IdentityRow* display = findIdentity(control)) return tableText(display->caption).simplified();
  if (const FieldRow* field = findField(control)) {
    const std::string caption = settingOfControl(control).caption;
    // The capacity and the estimate show no byte of the image.
    return caption.empty() ? tableText(field->captionBefore).simplified() : QString::fromStdString(caption);
  }
  return {};
}

void NameSettingsForScreenReaders(const SettingsControls& controls) {
  // A name repeats when two controls of one kind share it: a reader says
  // the kind beside the name ("Festschwelle", radio button or edit field).
  auto kindOf = [](std::string_view control) {
    const SwitchRow* row = findSwitch(control);
    return row == nullptr ? 0 : row->kind == SwitchKind::RadioPair ? 2 : 1;
  };
  const std::vector<std::string_view> names = namedControls();
  std::map<std::pair<int, QString>, int> uses;
  for (std::string_view control : names) ++uses[{kindOf(control), CaptionForScreenReaders(control)}];
  for (std::string_view control : names) {
    QWidget* widget = controls.widget(control);
    if (widget == nullptr) continue;
    QString name = CaptionForScreenReaders(control);
    if (uses[{kindOf(control), name}] > 1) name += QStringLiteral(" (%1)").arg(pageOf(control));
    widget->setAccessibleName(name);
    // The tooltip is the control's hint, or its panel's.
    widget->setAccessibleDescription(widget->toolTip());
  }
}

void NameControlColumnForScreenReaders(QWidget& window) {
  static constexpr std::pair<const char*, const char*> kNames[] = {
      {"LeseButton", "Konfiguration auslesen"},
      {"ProgButton", "Konfiguration programmieren"},
      {"MInfo", "Informationsfenster"},
  };
  for (const auto& [object, name] : kNames) {
    if (auto* widget = window.findChild<QWidget*>(QString::fromLatin1(object))) {
      widget->setAccessibleName(QString::fromUtf8(name));
      widget->setAccessibleDescription(widget->toolTip());
    }
  }
}

}  // namespace lk24
