#pragma once
// Everything inside the transmitter and receiver halves of the main window:
// built from the editor's field, switch and page tables (SettingsPageBuilder),
// rewritten from the device image by refresh(), and written back by the
// handlers below: one per field kind, with the names the window's handlers
// have always had, and one per switch kind.
// Main thread only, like every widget; no operation takes a lock.

#include "model/ConfigImage.h"
#include "ui/SettingsPageBuilder.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace lk24 {

struct SwitchRow;

class SettingsView : public QObject {
  Q_OBJECT

 public:
  // pSender / pEmpfang: the two empty halves (267 x 585, hints set) the
  // settings are built into. showdata: the window's full refresh, which the
  // handlers run after storing a value.
  SettingsView(QWidget* pSender, QWidget* pEmpfang, ConfigImage& image, std::function<void()> showdata,
               QObject* parent = nullptr);
  ~SettingsView() override;

  // Rewrites every control of both halves from the image after applying the
  // image corrections; beeps once when the transmit interval was raised.
  // The identity displays follow only a recognised device. Never runs a
  // handler and never changes a bit.
  void refresh(bool transmitterDetected, bool receiverDetected);

  // Covers the two factory pages ("- kein Zugriff -"); their controls take
  // neither the mouse nor the keyboard's focus.
  void showFactoryCovers();

  // Every control of both halves in the order Tab visits them: the whole
  // transmitter half before the receiver half; in each half the tab bar of
  // its pages, then each page top to bottom and, within a row, left to right.
  std::vector<QWidget*> tabOrder() const;

  std::string transmitterFirmwareText() const;  // current text of LTFirm
  std::string receiverFirmwareText() const;     // current text of LRFirm

  // Takes a value typed into a field and not yet confirmed, exactly as
  // leaving the field would: a menu command, a shortcut or the close does not
  // move the focus, and the refresh that follows would drop the typed text.
  void takePendingEdit();

  // The reduced state: both halves stop taking input.
  void setInputEnabled(bool enabled);

  // Edit fields: field is the control that raised the event; key a Qt key code.
  void WordDataClick(QLineEdit* field);
  void WordDataExit(QLineEdit* field);
  void ByteDataExit(QLineEdit* field);
  void WordDataKeyUp(QLineEdit* field, int key);
  void ByteDataKeyUp(QLineEdit* field, int key);
  void KapazitaetClick();
  void KapazitaetExit();
  void KapazitaetKeyUp(int key);

  // The shared handlers of the switches: every check box, radio button and
  // clickable status text is connected straight to one of them with its row.
  // A check box's new state sets or clears its bit, then showdata (except for
  // the write permission, which takes no refresh).
  void checkBoxClicked(const SwitchRow& row);
  // Acts only when button is now chosen, then showdata.
  void radioClicked(const SwitchRow& row, QRadioButton* button);
  // The status text beside a check box toggles the box.
  void statusClicked(const SwitchRow& row);

 private:
  void storeAndRefresh(QLineEdit* field);
  void enterPressed(QLineEdit* field, int key);
  void runShowdata();

  void refreshSwitch(const SwitchRow& row);
  void setIdentityTexts(std::string_view half, bool detected);

  QWidget* widget(std::string_view name) const;
  QLineEdit* edit(std::string_view name) const;
  QLabel* label(std::string_view name) const;

  ConfigImage& image_;
  std::function<void()> showdata_;
  QPointer<QWidget> sender_;
  QPointer<QWidget> empfang_;
  bool refreshing_ = false;

  SettingsControls controls_;
};

}  // namespace lk24
