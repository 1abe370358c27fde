#include "ui/SettingsPageBuilder.h"

#include "editor/DerivedTexts.h"
#include "editor/FieldMap.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"
#include "model/TemplateFormat.h"
#include "ui/DesignFont.h"
#include "ui/DesignPalette.h"
#include "ui/ScreenReaderNames.h"
#include "ui/SettingsView.h"
#include "ui/SettingsWidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <utility>

namespace lk24 {

namespace {

constexpr int kFieldHeight = 19;

// The settings pages are dense: the window's face at its small size keeps
// them inside the 257 x 473 page controls.
constexpr int kSettingsPixelSize = 11;
QFont settingsFont(int pixelSize = kSettingsPixelSize, bool bold = false) {
  return DesignFont(kWindowFace, pixelSize, bold ? kBold : kPlain);
}

int fieldPixelWidth(int maxLength) { return 8 + 7 * maxLength; }

QLabel* placeCaption(QLabel* label, std::string_view text, int x, int y, bool bold = false) {
  label->setText(tableText(text));
  if (bold) label->setFont(settingsFont(kSettingsPixelSize, true));
  label->adjustSize();
  // Centre the caption's lines on the row of the control beside it.
  label->move(x, y + (kFieldHeight - label->height()) / 2);
  return label;
}

QLabel* addCaption(QWidget* container, std::string_view text, int x, int y, bool bold = false) {
  return placeCaption(new QLabel(container), text, x, y, bold);
}

// A one-line edit's own caption after it starts a few pixels right of it.
int afterFieldX(int x, int maxLength) { return x + fieldPixelWidth(maxLength) + 4; }
constexpr int kNumberGap = 2;  // between a table entry's number and its field

enum class BuildMode { Live, Placeholder };

class SettingsPageBuilder {
 public:
  SettingsPageBuilder(SettingsView& view, SettingsControls& controls) : view_(view), controls_(controls) {}

  void buildHalf(QWidget* half, std::string_view halfName);
  void buildPanels();
  void buildContents(QWidget* container, std::string_view containerName, BuildMode mode);
  void applyTooltips();

 private:
  void wireField(SettingsEdit* edit, const FieldRow& field);

  SettingsView& view_;
  SettingsControls& controls_;
};

void SettingsPageBuilder::buildHalf(QWidget* half, std::string_view halfName) {
  const PageControlRow* control = nullptr;
  for (const PageControlRow& candidate : pageControls()) {
    if (candidate.half == halfName) control = &candidate;
  }
  if (control == nullptr) return;

  auto* title = new QLabel(tableText(control->title), half);
  title->setFont(settingsFont(16, true));
  title->setAlignment(Qt::AlignCenter);
  title->setGeometry(0, 8, 267, 26);

  for (const IdentityRow& display : identityDisplays()) {
    if (display.container != halfName) continue;
    addCaption(half, display.caption, 12, display.y)->setFont(settingsFont());
    auto* field = new QLineEdit(half);
    field->setObjectName(tableText(display.control));
    field->setFont(settingsFont());
    field->setText(QString::fromLatin1(kUnknownText));
    field->setGeometry(104, display.y, 52, kFieldHeight);
    field->setEnabled(false);
    controls_.named.emplace(std::string(display.control), field);
    addCaption(half, kReadOnlyText, 164, display.y)->setFont(settingsFont());
  }

  auto* tabs = new QTabWidget(half);
  tabs->setObjectName(tableText(control->name));
  tabs->setFont(settingsFont());
  tabs->setGeometry(5, 104, 257, 473);
  // Narrow tabs, so the receiver's three captions fit side by side.
  tabs->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 7px; }"));
  controls_.named.emplace(std::string(control->name), tabs);
  for (const PageRow& row : pages()) {
    if (row.pageControl != control->name) continue;
    auto* page = new QWidget;
    page->setObjectName(tableText(row.name));
    page->setToolTip(tableText(row.hint));
    const int index = tabs->addTab(page, tableText(row.caption));
    tabs->setTabToolTip(index, tableText(row.hint));
    controls_.named.emplace(std::string(row.name), page);
    if (!row.cover.empty()) {
      auto* cover = new QLabel(tableText(kCoverText), page);
      cover->setObjectName(tableText(row.cover));
      cover->setFont(settingsFont(15, true));
      cover->setAlignment(Qt::AlignCenter);
      cover->setAutoFillBackground(true);
      QPalette palette = cover->palette();
      palette.setColor(QPalette::WindowText, kDesignRed);
      cover->setPalette(palette);
      cover->setGeometry(0, 0, 257, 473);
      cover->hide();
      controls_.named.emplace(std::string(row.cover), cover);
    }
  }
}

void SettingsPageBuilder::buildPanels() {
  for (const PanelRow& row : panels()) {
    QWidget* container = controls_.widget(row.container);
    if (!row.placeholder.empty()) {
      // Built first so the live panel lies above it and hides it while shown.
      auto* copy = new QFrame(container);
      copy->setObjectName(tableText(row.placeholder));
      copy->setGeometry(row.x, row.y, row.width, row.height);
      copy->setToolTip(tableText(row.hint));
      controls_.named.emplace(std::string(row.placeholder), copy);
      buildContents(copy, row.name, BuildMode::Placeholder);
      copy->setEnabled(false);
    }
    auto* panel = new QFrame(container);
    panel->setObjectName(tableText(row.name));
    panel->setGeometry(row.x, row.y, row.width, row.height);
    panel->setAutoFillBackground(true);
    panel->setToolTip(tableText(row.hint));
    controls_.named.emplace(std::string(row.name), panel);
  }
  for (const PanelRow& row : panels()) buildContents(controls_.widget(row.name), row.name, BuildMode::Live);
}

void SettingsPageBuilder::buildContents(QWidget* container, std::string_view containerName, BuildMode mode) {
  const bool live = mode == BuildMode::Live;
  auto remember = [this, live](QWidget* created, std::string_view name) {
    if (!live || name.empty()) return;
    created->setObjectName(tableText(name));
    controls_.named.emplace(std::string(name), created);
  };

  for (const CaptionRow& caption : captions()) {
    if (caption.container != containerName) continue;
    const std::string_view text =
        !live && !caption.placeholderText.empty() ? caption.placeholderText : caption.text;
    QLabel* created = nullptr;
    if (caption.role == CaptionRole::Derived) {
      // Room for the widest text the refresh can write.
      const std::string widest = caption.name == "Lfreq" ? frequencyText(1) : minutesText(65535);
      created = addCaption(container, widest, caption.x, caption.y);
      created->setText(tableText(text));
    } else {
      created = addCaption(container, text, caption.x, caption.y, caption.role == CaptionRole::Heading);
    }
    remember(created, caption.name);
  }

  for (const FieldRow& field : allFields()) {
    if (field.container != containerName) continue;
    if (field.kind == FieldKind::TableByte) {
      // A table entry's number stands just left of its field, however wide.
      QLabel* number = addCaption(container, field.captionBefore, 0, field.y);
      number->move(field.x - kNumberGap - number->width(), number->y());
    } else if (field.captionX >= 0) {
      addCaption(container, field.captionBefore, field.captionX, field.y);
    }
    if (!field.captionAfter.empty()) {
      addCaption(container, field.captionAfter, afterFieldX(field.x, field.maxLength), field.y);
    }
    QLineEdit* edit = live ? new SettingsEdit(container) : new QLineEdit(container);
    edit->setGeometry(field.x, field.y, fieldPixelWidth(field.maxLength), kFieldHeight);
    remember(edit, field.control);
    if (!live) continue;
    static_cast<SettingsEdit*>(edit)->setTypedLimit(field.maxLength);
    if (field.address >= 0) edit->setProperty("tag", field.address);
    controls_.fieldOf.emplace(edit, &field);
    controls_.edits.emplace_back(static_cast<SettingsEdit*>(edit));
    wireField(static_cast<SettingsEdit*>(edit), field);
  }

  for (const SwitchRow& row : switchMap()) {
    if (row.container != containerName) continue;
    if (row.kind == SwitchKind::CheckBox) {
      auto* box = new QCheckBox(tableText(row.controlText), container);
      box->move(row.x, row.y);
      box->adjustSize();
      box->resize(box->width(), kFieldHeight);
      remember(box, row.control);
      if (live) {
        QObject::connect(box, &QCheckBox::clicked, &view_, [&view = view_, &row] { view.checkBoxClicked(row); });
      }
    } else {
      auto* group = live ? new QButtonGroup(container) : nullptr;
      const std::pair<std::string_view, std::pair<std::string_view, QPoint>> buttons[] = {
          {row.control, {row.controlText, QPoint(row.x, row.y)}},
          {row.clearControl, {row.clearText, QPoint(row.clearX, row.clearY)}},
      };
      for (const auto& [name, textAndPlace] : buttons) {
        auto* button = new QRadioButton(tableText(textAndPlace.first), container);
        // Exclusive within its pair's group only, and so announced as a
        // radio button, not a check box; a greyed copy's pair has no group.
        button->setAutoExclusive(group != nullptr);
        button->move(textAndPlace.second);
        button->adjustSize();
        button->resize(button->width(), kFieldHeight);
        remember(button, name);
        if (group != nullptr) {
          group->addButton(button);
          QObject::connect(button, &QRadioButton::clicked, &view_,
                           [&view = view_, &row, button] { view.radioClicked(row, button); });
        }
      }
    }
    if (!row.statusLabel.empty()) {
      QLabel* status = nullptr;
      if (live && row.statusClickable) {
        auto* clickable = new ClickableLabel(container);
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->onClick = [&view = view_, &row] { view.statusClicked(row); };
        controls_.clickables.emplace_back(clickable);
        status = clickable;
      } else {
        status = new QLabel(container);
      }
      // A greyed copy shows its group as if switched on, only greyed.
      placeCaption(status, live ? row.textClear : row.textSet, row.statusX, row.statusY);
      // Wide enough for either text, so switching never clips it.
      const QFontMetrics metrics(settingsFont());
      const int widest = std::max(metrics.horizontalAdvance(tableText(row.textSet)),
                                  metrics.horizontalAdvance(tableText(row.textClear)));
      status->resize(widest + 4, status->height());
      remember(status, row.statusLabel);
    }
  }
}

void SettingsPageBuilder::wireField(SettingsEdit* edit, const FieldRow& field) {
  switch (field.kind) {
    case FieldKind::Word:
      edit->onClick = [&view = view_, edit] { view.WordDataClick(edit); };
      edit->onExit = [&view = view_, edit] { view.WordDataExit(edit); };
      edit->onKeyUp = [&view = view_, edit](int key) { view.WordDataKeyUp(edit, key); };
      break;
    case FieldKind::Byte:
    case FieldKind::TableByte:
      edit->onClick = [&view = view_, edit] { view.WordDataClick(edit); };
      edit->onExit = [&view = view_, edit] { view.ByteDataExit(edit); };
      edit->onKeyUp = [&view = view_, edit](int key) { view.ByteDataKeyUp(edit, key); };
      break;
    case FieldKind::Capacity:
      edit->setText(QStringLiteral("0800"));
      edit->onClick = [&view = view_] { view.KapazitaetClick(); };
      edit->onExit = [&view = view_] { view.KapazitaetExit(); };
      edit->onKeyUp = [&view = view_](int key) { view.KapazitaetKeyUp(key); };
      break;
    case FieldKind::Days: {
      // Drawn like a red caption and passed over by the Tab key.
      edit->setFrame(false);
      edit->setReadOnly(true);
      edit->setFocusPolicy(Qt::ClickFocus);
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Text, kDesignRed);
      // No ground of its own: the panel's shows through, whoever sets its colour.
      palette.setColor(QPalette::Base, Qt::transparent);
      edit->setPalette(palette);
      break;
    }
  }
  if (field.displayOnly && field.kind != FieldKind::Days) edit->setEnabled(false);
}

void SettingsPageBuilder::applyTooltips() {
  auto inherited = [](QWidget* control) {
    for (QWidget* up = control->parentWidget(); up != nullptr; up = up->parentWidget()) {
      if (!up->toolTip().isEmpty()) return up->toolTip();
    }
    return QString();
  };
  auto apply = [&](std::string_view name, std::string_view hint) {
    QWidget* control = controls_.widget(name);
    if (control != nullptr) control->setToolTip(hint.empty() ? inherited(control) : tableText(hint));
  };
  for (const FieldRow& field : allFields()) apply(field.control, field.hint);
  for (const SwitchRow& row : switchMap()) {
    apply(row.control, row.hint);
    if (!row.clearControl.empty()) apply(row.clearControl, row.clearHint);
    if (row.statusClickable) apply(row.statusLabel, row.hint);
  }
}

}  // namespace

QWidget* SettingsControls::widget(std::string_view name) const {
  const auto found = named.find(name);
  return found == named.end() ? nullptr : found->second;
}

void BuildSettingsPages(QWidget* pSender, QWidget* pEmpfang, SettingsView& view, SettingsControls& controls) {
  controls.named.emplace("PSender", pSender);
  controls.named.emplace("Pempfang", pEmpfang);
  SettingsPageBuilder builder(view, controls);
  builder.buildHalf(pSender, "PSender");
  builder.buildHalf(pEmpfang, "Pempfang");
  builder.buildPanels();
  for (const PageRow& page : pages()) builder.buildContents(controls.widget(page.name), page.name, BuildMode::Live);
  builder.applyTooltips();
  NameSettingsForScreenReaders(controls);
}

// Controls whose tops lie within a
// few pixels of each other share a row (a check box and a field beside it).
std::vector<QWidget*> readingOrder(QWidget* page) {
  constexpr int kSameRow = 8;
  struct Placed {
    QWidget* control;
    QPoint at;
  };
  std::vector<Placed> placed;
  for (QWidget* child : page->findChildren<QWidget*>()) {
    if (child->focusPolicy() & Qt::TabFocus) placed.push_back({child, child->mapTo(page, QPoint(0, 0))});
  }
  auto above = [](const Placed& a, const Placed& b) { return a.at.y() < b.at.y(); };
  auto leftOf = [](const Placed& a, const Placed& b) { return a.at.x() < b.at.x(); };
  std::stable_sort(placed.begin(), placed.end(), above);
  for (auto row = placed.begin(); row != placed.end();) {
    const int top = row->at.y();
    auto end = std::find_if(row, placed.end(), [top](const Placed& p) { return p.at.y() >= top + kSameRow; });
    std::stable_sort(row, end, leftOf);
    row = end;
  }
  std::vector<QWidget*> order;
  for (const Placed& p : placed) order.push_back(p.control);
  return order;
}

}  // namespace lk24
