#include "ui/SettingsView.h"

#include "editor/DerivedTexts.h"
#include "editor/FieldMap.h"
#include "editor/ImageCorrections.h"
#include "editor/NumberCodecs.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"
#include "model/TemplateFormat.h"
#include "ui/DesignFont.h"
#include "ui/SettingsWidgets.h"
#include "ui/SystemBeep.h"

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

using Handler = void (SettingsView::*)();

// Which handler a click on each switch control runs.
const std::pair<std::string_view, Handler> kClickHandlers[] = {
    {"CB_T_Notruf", &SettingsView::CB_T_NotrufClick},
    {"CB_T_Intevall", &SettingsView::CB_T_IntevallClick},
    {"CBTonTest", &SettingsView::CBTonTestClick},
    {"CBRelaisTest", &SettingsView::CBRelaisTestClick},
    {"CBResetTon", &SettingsView::CBResetTonClick},
    {"CBalarmDistance", &SettingsView::CBalarmDistanceClick},
    {"CBAlarmNotruf", &SettingsView::CBAlarmNotrufClick},
    {"CBdistanceTon", &SettingsView::CBdistanceTonClick},
    {"CBnotrufton", &SettingsView::CBnotruftonClick},
    {"CBselfclear", &SettingsView::CBselfclearClick},
    {"CBpreset", &SettingsView::CBpresetClick},
    {"CBarbitupdate", &SettingsView::CBarbitupdateClick},
    {"CBwriteallow", &SettingsView::CBwriteallowClick},
    {"RBfern", &SettingsView::RBfernClick},
    {"RBnah", &SettingsView::RBnahClick},
    {"RBpoti", &SettingsView::RBpotiClick},
    {"RBfest", &SettingsView::RBfestClick},
    {"RBrelalaoff", &SettingsView::RBrelalaoffClick},
    {"RBrelalaon", &SettingsView::RBrelalaonClick},
    {"RXB868", &SettingsView::RXB868Click},
    {"RXB433", &SettingsView::RXB433Click},
    {"RB868", &SettingsView::RB868Click},
    {"RB433", &SettingsView::RB433Click},
    {"LNotruf", &SettingsView::LNotrufClick},
    {"Lintervall", &SettingsView::LintervallClick},
};

Handler clickHandler(std::string_view control) {
  for (const auto& [name, handler] : kClickHandlers) {
    if (name == control) return handler;
  }
  return nullptr;
}

constexpr int kFieldHeight = 19;

// The settings pages are dense: the window's face at its small size keeps
// them inside the 257 x 473 page controls.
constexpr int kSettingsPixelSize = 11;
QFont settingsFont(int pixelSize = kSettingsPixelSize, bool bold = false) {
  return DesignFont(kWindowFace, pixelSize, bold ? kBold : kPlain);
}

int fieldPixelWidth(int maxLength) { return 8 + 7 * maxLength; }

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QLabel* placeCaption(QLabel* label, std::string_view text, int x, int y, bool bold = false) {
  label->setText(qs(text));
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

class RefreshGuard {
 public:
  explicit RefreshGuard(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~RefreshGuard() { flag_ = previous_; }
  RefreshGuard(const RefreshGuard&) = delete;
  RefreshGuard& operator=(const RefreshGuard&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

bool isEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// The controls of a page that Tab can reach, in reading order: by rows from
// the top, and within a row from the left. Controls whose tops lie within a
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

}  // namespace

SettingsView::SettingsView(QWidget* pSender, QWidget* pEmpfang, ConfigImage& image, std::function<void()> showdata,
                           QObject* parent)
    : QObject(parent), image_(image), showdata_(std::move(showdata)), sender_(pSender), empfang_(pEmpfang) {
  named_.emplace("PSender", pSender);
  named_.emplace("Pempfang", pEmpfang);
  buildHalf(pSender, "PSender");
  buildHalf(pEmpfang, "Pempfang");
  buildPanels();
  for (const PageRow& page : pages()) buildContents(widget(page.name), page.name, BuildMode::Live);
  applyTooltips();
}

SettingsView::~SettingsView() {
  // The widgets may outlive the view, or go first; the living ones must not
  // call into it any more.
  for (const QPointer<SettingsEdit>& edit : edits_) {
    if (edit.isNull()) continue;
    edit->onClick = nullptr;
    edit->onExit = nullptr;
    edit->onKeyUp = nullptr;
  }
  for (const QPointer<ClickableLabel>& clickable : clickables_) {
    if (!clickable.isNull()) clickable->onClick = nullptr;
  }
}

// ---- building ----------------------------------------------------------

void SettingsView::buildHalf(QWidget* half, std::string_view halfName) {
  const PageControlRow* control = nullptr;
  for (const PageControlRow& candidate : pageControls()) {
    if (candidate.half == halfName) control = &candidate;
  }
  if (control == nullptr) return;

  auto* title = new QLabel(qs(control->title), half);
  title->setFont(settingsFont(16, true));
  title->setAlignment(Qt::AlignCenter);
  title->setGeometry(0, 8, 267, 26);

  for (const IdentityRow& display : identityDisplays()) {
    if (display.container != halfName) continue;
    addCaption(half, display.caption, 12, display.y)->setFont(settingsFont());
    auto* field = new QLineEdit(half);
    field->setObjectName(qs(display.control));
    field->setFont(settingsFont());
    field->setText(QString::fromLatin1(kUnknownText));
    field->setGeometry(104, display.y, 52, kFieldHeight);
    field->setEnabled(false);
    named_.emplace(std::string(display.control), field);
    addCaption(half, kReadOnlyText, 164, display.y)->setFont(settingsFont());
  }

  auto* tabs = new QTabWidget(half);
  tabs->setObjectName(qs(control->name));
  tabs->setFont(settingsFont());
  tabs->setGeometry(5, 104, 257, 473);
  // Narrow tabs, so the receiver's three captions fit side by side.
  tabs->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 7px; }"));
  named_.emplace(std::string(control->name), tabs);
  for (const PageRow& row : pages()) {
    if (row.pageControl != control->name) continue;
    auto* page = new QWidget;
    page->setObjectName(qs(row.name));
    page->setToolTip(qs(row.hint));
    const int index = tabs->addTab(page, qs(row.caption));
    tabs->setTabToolTip(index, qs(row.hint));
    named_.emplace(std::string(row.name), page);
    if (!row.cover.empty()) {
      auto* cover = new QLabel(qs(kCoverText), page);
      cover->setObjectName(qs(row.cover));
      cover->setFont(settingsFont(15, true));
      cover->setAlignment(Qt::AlignCenter);
      cover->setAutoFillBackground(true);
      QPalette palette = cover->palette();
      palette.setColor(QPalette::WindowText, Qt::red);
      cover->setPalette(palette);
      cover->setGeometry(0, 0, 257, 473);
      cover->hide();
      named_.emplace(std::string(row.cover), cover);
    }
  }
}

void SettingsView::buildPanels() {
  for (const PanelRow& row : panels()) {
    QWidget* container = widget(row.container);
    if (!row.placeholder.empty()) {
      // Built first so the live panel lies above it and hides it while shown.
      auto* copy = new QFrame(container);
      copy->setObjectName(qs(row.placeholder));
      copy->setGeometry(row.x, row.y, row.width, row.height);
      copy->setToolTip(qs(row.hint));
      named_.emplace(std::string(row.placeholder), copy);
      buildContents(copy, row.name, BuildMode::Placeholder);
      copy->setEnabled(false);
    }
    auto* panel = new QFrame(container);
    panel->setObjectName(qs(row.name));
    panel->setGeometry(row.x, row.y, row.width, row.height);
    panel->setAutoFillBackground(true);
    panel->setToolTip(qs(row.hint));
    named_.emplace(std::string(row.name), panel);
  }
  for (const PanelRow& row : panels()) buildContents(widget(row.name), row.name, BuildMode::Live);
}

void SettingsView::buildContents(QWidget* container, std::string_view containerName, BuildMode mode) {
  const bool live = mode == BuildMode::Live;
  auto remember = [this, live](QWidget* created, std::string_view name) {
    if (!live || name.empty()) return;
    created->setObjectName(qs(name));
    named_.emplace(std::string(name), created);
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
      created->setText(qs(text));
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
    fieldOf_.emplace(edit, &field);
    edits_.emplace_back(static_cast<SettingsEdit*>(edit));
    wireField(static_cast<SettingsEdit*>(edit), field);
  }

  for (const SwitchRow& row : switchMap()) {
    if (row.container != containerName) continue;
    if (row.kind == SwitchKind::CheckBox) {
      auto* box = new QCheckBox(qs(row.controlText), container);
      box->move(row.x, row.y);
      box->adjustSize();
      box->resize(box->width(), kFieldHeight);
      remember(box, row.control);
      if (live) {
        connect(box, &QCheckBox::clicked, this, [this, handler = clickHandler(row.control)] { (this->*handler)(); });
      }
    } else {
      auto* group = live ? new QButtonGroup(container) : nullptr;
      const std::pair<std::string_view, std::pair<std::string_view, QPoint>> buttons[] = {
          {row.control, {row.controlText, QPoint(row.x, row.y)}},
          {row.clearControl, {row.clearText, QPoint(row.clearX, row.clearY)}},
      };
      for (const auto& [name, textAndPlace] : buttons) {
        auto* button = new QRadioButton(qs(textAndPlace.first), container);
        button->setAutoExclusive(false);
        button->move(textAndPlace.second);
        button->adjustSize();
        button->resize(button->width(), kFieldHeight);
        remember(button, name);
        if (group != nullptr) {
          group->addButton(button);
          connect(button, &QRadioButton::clicked, this, [this, handler = clickHandler(name)] { (this->*handler)(); });
        }
      }
    }
    if (!row.statusLabel.empty()) {
      QLabel* status = nullptr;
      if (live && row.statusClickable) {
        auto* clickable = new ClickableLabel(container);
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->onClick = [this, handler = clickHandler(row.statusLabel)] { (this->*handler)(); };
        clickables_.emplace_back(clickable);
        status = clickable;
      } else {
        status = new QLabel(container);
      }
      // A greyed copy shows its group as if switched on, only greyed.
      placeCaption(status, live ? row.textClear : row.textSet, row.statusX, row.statusY);
      // Wide enough for either text, so switching never clips it.
      const QFontMetrics metrics(settingsFont());
      const int widest = std::max(metrics.horizontalAdvance(qs(row.textSet)),
                                  metrics.horizontalAdvance(qs(row.textClear)));
      status->resize(widest + 4, status->height());
      remember(status, row.statusLabel);
    }
  }
}

void SettingsView::wireField(SettingsEdit* edit, const FieldRow& field) {
  switch (field.kind) {
    case FieldKind::Word:
      edit->onClick = [this, edit] { WordDataClick(edit); };
      edit->onExit = [this, edit] { WordDataExit(edit); };
      edit->onKeyUp = [this, edit](int key) { WordDataKeyUp(edit, key); };
      break;
    case FieldKind::Byte:
    case FieldKind::TableByte:
      edit->onClick = [this, edit] { WordDataClick(edit); };
      edit->onExit = [this, edit] { ByteDataExit(edit); };
      edit->onKeyUp = [this, edit](int key) { ByteDataKeyUp(edit, key); };
      break;
    case FieldKind::Capacity:
      edit->setText(QStringLiteral("0800"));
      edit->onClick = [this] { KapazitaetClick(); };
      edit->onExit = [this] { KapazitaetExit(); };
      edit->onKeyUp = [this](int key) { KapazitaetKeyUp(key); };
      break;
    case FieldKind::Days: {
      // Drawn like a red caption and passed over by the Tab key.
      edit->setFrame(false);
      edit->setReadOnly(true);
      edit->setFocusPolicy(Qt::ClickFocus);
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Text, Qt::red);
      palette.setColor(QPalette::Base, palette.color(QPalette::Window));
      edit->setPalette(palette);
      break;
    }
  }
  if (field.displayOnly && field.kind != FieldKind::Days) edit->setEnabled(false);
}

void SettingsView::applyTooltips() {
  auto inherited = [](QWidget* control) {
    for (QWidget* up = control->parentWidget(); up != nullptr; up = up->parentWidget()) {
      if (!up->toolTip().isEmpty()) return up->toolTip();
    }
    return QString();
  };
  auto apply = [&](std::string_view name, std::string_view hint) {
    QWidget* control = widget(name);
    if (control != nullptr) control->setToolTip(hint.empty() ? inherited(control) : qs(hint));
  };
  for (const FieldRow& field : allFields()) apply(field.control, field.hint);
  for (const SwitchRow& row : switchMap()) {
    apply(row.control, row.hint);
    if (!row.clearControl.empty()) apply(row.clearControl, row.clearHint);
    if (row.statusClickable) apply(row.statusLabel, row.hint);
  }
}

// ---- refresh -----------------------------------------------------------

void SettingsView::refresh(bool transmitterDetected, bool receiverDetected) {
  RefreshGuard guard(refreshing_);
  Table& image = image_.DeviceImage;
  // No correction reads a byte another one writes, so applying them all up
  // front leaves image and texts as applying each one at its control would.
  const bool intervalRaised = applyImageCorrections(image);

  for (const SwitchRow& row : switchMap()) refreshSwitch(row);

  for (const FieldRow& field : allFields()) {
    if (field.address < 0 || field.refresh != FieldRefresh::Always) continue;
    if (QLineEdit* control = edit(field.control)) control->setText(qs(fieldText(field, image)));
  }
  auto word = [&image](int address) { return image[address] * 256 + image[address + 1]; };
  label("LMinuten")->setText(qs(minutesText(word(24))));
  label("Lfreq")->setText(qs(frequencyText(image[addr::kAlarmTonePeriod])));
  label("LTmin")->setText(qs(minutesText(word(addr::kTransmitIntervalHigh))));

  setIdentityTexts("Pempfang", receiverDetected);
  if (receiverDetected) {
    edit("R_SerNum")->setText(qs(fieldText(*findField("R_SerNum"), image)));
    // Firmware 1.00 has a fixed relay state.
    const bool firmware100 = image[addr::kFirmwareMajor] == 1 && image[addr::kFirmwareMinor] == 0;
    widget("PRelaiszustand")->setVisible(!firmware100);
  }
  setIdentityTexts("PSender", transmitterDetected);
  if (transmitterDetected) edit("T_sernum")->setText(qs(fieldText(*findField("T_sernum"), image)));

  if (intervalRaised) SystemBeep();

  edit("Tage")->setText(qs(batteryLifeText(image[addr::kLedBrightness], word(addr::kTransmitIntervalHigh),
                                           edit("Kapazitaet")->text().toStdString())));
}

void SettingsView::refreshSwitch(const SwitchRow& row) {
  const bool bit = switchBit(row, image_.DeviceImage);
  if (row.kind == SwitchKind::CheckBox) {
    static_cast<QCheckBox*>(widget(row.control))->setChecked(checkedForBit(row, bit));
  } else {
    static_cast<QRadioButton*>(widget(bit ? row.control : row.clearControl))->setChecked(true);
  }
  if (!row.statusLabel.empty()) label(row.statusLabel)->setText(qs(statusText(row, bit)));
  for (std::string_view panel : row.visibleWhileSet) {
    if (!panel.empty()) widget(panel)->setVisible(bit);
  }
  for (std::string_view control : row.enabledWhileClear) {
    if (!control.empty()) widget(control)->setEnabled(!bit);
  }
}

void SettingsView::setIdentityTexts(std::string_view half, bool detected) {
  for (const IdentityRow& display : identityDisplays()) {
    if (display.container != half) continue;
    edit(display.control)->setText(qs(identityDisplayText(display, image_.DeviceImage, detected)));
  }
}

void SettingsView::showFactoryCovers() {
  for (const PageRow& page : pages()) {
    if (page.cover.empty()) continue;
    QWidget* cover = widget(page.cover);
    cover->show();
    cover->raise();
    // Tab and Space must not reach what the mouse cannot (byte 3 bit 0, the
    // device's write protection, lies under a cover).
    for (QWidget* control : widget(page.name)->findChildren<QWidget*>()) control->setFocusPolicy(Qt::NoFocus);
  }
}

std::vector<QWidget*> SettingsView::tabOrder() const {
  std::vector<QWidget*> order;
  for (const PageControlRow& control : pageControls()) {
    // Tab reaches a page control through its tab bar, which stands in for it.
    auto* tabs = static_cast<QTabWidget*>(widget(control.name));
    order.insert(order.end(), {tabs, tabs->tabBar()});
    for (const PageRow& page : pages()) {
      if (page.pageControl != control.name) continue;
      const std::vector<QWidget*> rows = readingOrder(widget(page.name));
      order.insert(order.end(), rows.begin(), rows.end());
    }
  }
  return order;
}

std::string SettingsView::transmitterFirmwareText() const { return edit("LTFirm")->text().toStdString(); }

std::string SettingsView::receiverFirmwareText() const { return edit("LRFirm")->text().toStdString(); }

void SettingsView::setInputEnabled(bool enabled) {
  if (sender_) sender_->setEnabled(enabled);
  if (empfang_) empfang_->setEnabled(enabled);
}

// ---- edit fields -------------------------------------------------------

void SettingsView::takePendingEdit() {
  // The refresh rewrites every field and so clears the mark; a marked field
  // holds text that has not reached the image.
  for (const QPointer<SettingsEdit>& edit : edits_) {
    if (!edit || !edit->isModified() || !edit->onExit) continue;
    edit->setModified(false);
    edit->onExit();
  }
}

void SettingsView::WordDataClick(QLineEdit* field) { field->selectAll(); }

void SettingsView::WordDataExit(QLineEdit* field) { storeAndRefresh(field); }

void SettingsView::ByteDataExit(QLineEdit* field) { storeAndRefresh(field); }

void SettingsView::storeAndRefresh(QLineEdit* field) {
  // A field the refresh disables or hides loses the focus in the middle of
  // it; its text is the image's value by then and must not start another.
  if (refreshing_) return;
  const auto found = fieldOf_.find(field);
  if (found == fieldOf_.end()) return;
  storeFieldText(*found->second, field->text().toStdString(), image_.DeviceImage);
  runShowdata();
}

void SettingsView::WordDataKeyUp(QLineEdit* field, int key) { enterPressed(field, key); }

void SettingsView::ByteDataKeyUp(QLineEdit* field, int key) { enterPressed(field, key); }

void SettingsView::enterPressed(QLineEdit* field, int key) {
  if (!isEnter(key)) return;
  storeAndRefresh(field);
  field->selectAll();
}

void SettingsView::KapazitaetClick() { edit("Kapazitaet")->selectAll(); }

void SettingsView::KapazitaetExit() {
  if (refreshing_) return;
  QLineEdit* capacity = edit("Kapazitaet");
  const std::int64_t value = checkin(capacity->text().toStdString(), fieldMaximum(FieldKind::Capacity));
  capacity->setText(qs(fillString(4, '0', value)));
  runShowdata();
}

void SettingsView::KapazitaetKeyUp(int key) {
  if (!isEnter(key)) return;
  KapazitaetExit();
  edit("Kapazitaet")->selectAll();
}

void SettingsView::runShowdata() {
  if (showdata_) showdata_();
}

// ---- switches ----------------------------------------------------------

void SettingsView::checkBoxClicked(std::string_view control) {
  if (refreshing_) return;
  const SwitchRow& row = *findSwitch(control);
  const bool checked = static_cast<QCheckBox*>(widget(control))->isChecked();
  setSwitchBit(row, bitForChecked(row, checked), image_.DeviceImage);
  if (row.refreshesAfterClick) runShowdata();
}

void SettingsView::radioClicked(std::string_view control) {
  if (refreshing_) return;
  const SwitchRow& row = *findSwitch(control);
  if (static_cast<QRadioButton*>(widget(control))->isChecked()) {
    setSwitchBit(row, control == row.control, image_.DeviceImage);
  }
  runShowdata();
}

void SettingsView::toggleFromStatus(std::string_view checkBox) {
  if (refreshing_) return;
  auto* box = static_cast<QCheckBox*>(widget(checkBox));
  box->setChecked(!box->isChecked());
  checkBoxClicked(checkBox);
}

void SettingsView::CB_T_NotrufClick() { checkBoxClicked("CB_T_Notruf"); }
void SettingsView::CB_T_IntevallClick() { checkBoxClicked("CB_T_Intevall"); }
void SettingsView::CBTonTestClick() { checkBoxClicked("CBTonTest"); }
void SettingsView::CBRelaisTestClick() { checkBoxClicked("CBRelaisTest"); }
void SettingsView::CBResetTonClick() { checkBoxClicked("CBResetTon"); }
void SettingsView::CBalarmDistanceClick() { checkBoxClicked("CBalarmDistance"); }
void SettingsView::CBAlarmNotrufClick() { checkBoxClicked("CBAlarmNotruf"); }
void SettingsView::CBdistanceTonClick() { checkBoxClicked("CBdistanceTon"); }
void SettingsView::CBnotruftonClick() { checkBoxClicked("CBnotrufton"); }
void SettingsView::CBselfclearClick() { checkBoxClicked("CBselfclear"); }
void SettingsView::CBpresetClick() { checkBoxClicked("CBpreset"); }
void SettingsView::CBarbitupdateClick() { checkBoxClicked("CBarbitupdate"); }
void SettingsView::CBwriteallowClick() { checkBoxClicked("CBwriteallow"); }

void SettingsView::RBfernClick() { radioClicked("RBfern"); }
void SettingsView::RBnahClick() { radioClicked("RBnah"); }
void SettingsView::RBpotiClick() { radioClicked("RBpoti"); }
void SettingsView::RBfestClick() { radioClicked("RBfest"); }
void SettingsView::RBrelalaoffClick() { radioClicked("RBrelalaoff"); }
void SettingsView::RBrelalaonClick() { radioClicked("RBrelalaon"); }
void SettingsView::RXB868Click() { radioClicked("RXB868"); }
void SettingsView::RXB433Click() { radioClicked("RXB433"); }
void SettingsView::RB868Click() { radioClicked("RB868"); }
void SettingsView::RB433Click() { radioClicked("RB433"); }

void SettingsView::LNotrufClick() { toggleFromStatus("CB_T_Notruf"); }
void SettingsView::LintervallClick() { toggleFromStatus("CB_T_Intevall"); }

// ---- lookup ------------------------------------------------------------

QWidget* SettingsView::widget(std::string_view name) const {
  const auto found = named_.find(name);
  return found == named_.end() ? nullptr : found->second;
}

QLineEdit* SettingsView::edit(std::string_view name) const { return qobject_cast<QLineEdit*>(widget(name)); }

QLabel* SettingsView::label(std::string_view name) const { return qobject_cast<QLabel*>(widget(name)); }

}  // namespace lk24
