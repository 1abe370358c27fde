#pragma once
// A stand-in for the main window around the settings view: two empty halves
// at their places, an image, and a showdata that counts its runs.

#include "model/ConfigImage.h"
#include "ui/SettingsView.h"
#include "ui/SystemBeep.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace lk24::testing {

class SettingsWindow {
 public:
  SettingsWindow() {
    window.resize(849, 634);
    sender = new QWidget(&window);
    sender->setObjectName("PSender");
    sender->setGeometry(16, 16, 267, 585);
    sender->setToolTip(QString::fromUtf8("Einstellungen für den Sender"));
    empfang = new QWidget(&window);
    empfang->setObjectName("Pempfang");
    empfang->setGeometry(304, 16, 267, 585);
    empfang->setToolTip(QString::fromUtf8("Einstellungen für den Empfänger"));
    view = std::make_unique<SettingsView>(sender, empfang, image, [this] {
      ++showdataRuns;
      view->refresh(transmitterDetected, receiverDetected);
    });
    SetSystemBeepHandler([this] { ++beeps; });
  }
  ~SettingsWindow() { SetSystemBeepHandler(nullptr); }
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;

  // The window as it stands after start-up's first refresh.
  void refresh() { view->refresh(transmitterDetected, receiverDetected); }

  // Offscreen windows are not active by themselves; focus needs an active one.
  void showActive() {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  template <typename T>
  T* find(const std::string& name) {
    T* found = window.findChild<T*>(QString::fromStdString(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QLineEdit* field(const std::string& name) { return find<QLineEdit>(name); }
  QString text(const std::string& name) {
    if (auto* edit = window.findChild<QLineEdit*>(QString::fromStdString(name))) return edit->text();
    return find<QLabel>(name)->text();
  }

  // Brings the page holding control to the front, as a user clicking its tab.
  void showPageOf(QWidget* control) {
    for (QWidget* up = control; up != nullptr; up = up->parentWidget()) {
      if (auto* tabs = qobject_cast<QTabWidget*>(up->parentWidget() ? up->parentWidget()->parentWidget() : nullptr)) {
        if (tabs->indexOf(up) >= 0) {
          tabs->setCurrentWidget(up);
          return;
        }
      }
    }
  }

  void clickOn(QWidget* control, QPoint at = {}) {
    showPageOf(control);
    QTest::mouseClick(control, Qt::LeftButton, {}, at.isNull() ? control->rect().center() : at);
  }
  // A check box toggles only when clicked on its indicator, at the left.
  void clickBox(QAbstractButton* button) { clickOn(button, QPoint(6, button->height() / 2)); }

  // Clicks into the field, replaces its text by typing and leaves it with Tab.
  void typeInto(const std::string& name, const QString& typed) {
    QLineEdit* edit = field(name);
    clickOn(edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!typed.isEmpty()) QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Tab);
  }

  int word(int address) const { return image.DeviceImage[address] * 256 + image.DeviceImage[address + 1]; }

  QWidget window;
  QWidget* sender = nullptr;
  QWidget* empfang = nullptr;
  ConfigImage image;
  bool transmitterDetected = false;
  bool receiverDetected = false;
  int showdataRuns = 0;
  int beeps = 0;
  std::unique_ptr<SettingsView> view;
};

}  // namespace lk24::testing
