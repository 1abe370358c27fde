#include "ui/SettingsView.h"

#include "editor/DerivedTexts.h"
#include "editor/FieldMap.h"
#include "editor/ImageCorrections.h"
#include "editor/NumberCodecs.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"
#include "model/TemplateFormat.h"
#include "ui/SettingsPageBuilder.h"
#include "ui/SettingsWidgets.h"
#include "ui/SystemBeep.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <utility>

namespace lk24 {

namespace {

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

}  // namespace

SettingsView::SettingsView(QWidget* pSender, QWidget* pEmpfang, ConfigImage& image, std::function<void()> showdata,
                           QObject* parent)
    : QObject(parent), image_(image), showdata_(std::move(showdata)), sender_(pSender), empfang_(pEmpfang) {
  BuildSettingsPages(pSender, pEmpfang, *this, controls_);
}

SettingsView::~SettingsView() {
  // The widgets may outlive the view, or go first; the living ones must not
  // call into it any more.
  for (const QPointer<SettingsEdit>& edit : controls_.edits) {
    if (edit.isNull()) continue;
    edit->onClick = nullptr;
    edit->onExit = nullptr;
    edit->onKeyUp = nullptr;
  }
  for (const QPointer<ClickableLabel>& clickable : controls_.clickables) {
    if (!clickable.isNull()) clickable->onClick = nullptr;
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
    if (QLineEdit* control = edit(field.control)) control->setText(tableText(fieldText(field, image)));
  }
  auto word = [&image](int address) { return image[address] * 256 + image[address + 1]; };
  label("LMinuten")->setText(tableText(minutesText(word(24))));
  label("Lfreq")->setText(tableText(frequencyText(image[addr::kAlarmTonePeriod])));
  label("LTmin")->setText(tableText(minutesText(word(addr::kTransmitIntervalHigh))));

  setIdentityTexts("Pempfang", receiverDetected);
  if (receiverDetected) {
    edit("R_SerNum")->setText(tableText(fieldText(*findField("R_SerNum"), image)));
    // Firmware 1.00 has a fixed relay state.
    const bool firmware100 = image[addr::kFirmwareMajor] == 1 && image[addr::kFirmwareMinor] == 0;
    widget("PRelaiszustand")->setVisible(!firmware100);
  }
  setIdentityTexts("PSender", transmitterDetected);
  if (transmitterDetected) edit("T_sernum")->setText(tableText(fieldText(*findField("T_sernum"), image)));

  if (intervalRaised) SystemBeep();

  edit("Tage")->setText(tableText(batteryLifeText(image[addr::kLedBrightness], word(addr::kTransmitIntervalHigh),
                                           edit("Kapazitaet")->text().toStdString())));
}

void SettingsView::refreshSwitch(const SwitchRow& row) {
  const bool bit = switchBit(row, image_.DeviceImage);
  if (row.kind == SwitchKind::CheckBox) {
    static_cast<QCheckBox*>(widget(row.control))->setChecked(checkedForBit(row, bit));
  } else {
    static_cast<QRadioButton*>(widget(bit ? row.control : row.clearControl))->setChecked(true);
  }
  if (!row.statusLabel.empty()) label(row.statusLabel)->setText(tableText(statusText(row, bit)));
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
    edit(display.control)->setText(tableText(identityDisplayText(display, image_.DeviceImage, detected)));
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
  for (const QPointer<SettingsEdit>& edit : controls_.edits) {
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
  const auto found = controls_.fieldOf.find(field);
  if (found == controls_.fieldOf.end()) return;
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
  capacity->setText(tableText(fillString(4, '0', value)));
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

void SettingsView::checkBoxClicked(const SwitchRow& row) {
  if (refreshing_) return;
  const bool checked = static_cast<QCheckBox*>(widget(row.control))->isChecked();
  setSwitchBit(row, bitForChecked(row, checked), image_.DeviceImage);
  if (row.refreshesAfterClick) runShowdata();
}

void SettingsView::radioClicked(const SwitchRow& row, QRadioButton* button) {
  if (refreshing_) return;
  if (button->isChecked()) setSwitchBit(row, button == widget(row.control), image_.DeviceImage);
  runShowdata();
}

void SettingsView::statusClicked(const SwitchRow& row) {
  if (refreshing_) return;
  auto* box = static_cast<QCheckBox*>(widget(row.control));
  box->setChecked(!box->isChecked());
  checkBoxClicked(row);
}

// ---- lookup ------------------------------------------------------------

QWidget* SettingsView::widget(std::string_view name) const { return controls_.widget(name); }

QLineEdit* SettingsView::edit(std::string_view name) const { return qobject_cast<QLineEdit*>(widget(name)); }

QLabel* SettingsView::label(std::string_view name) const { return qobject_cast<QLabel*>(widget(name)); }

}  // namespace lk24
