// Check boxes, radio buttons and clickable status texts, clicked as a user does.
#include "SettingsTestFixture.h"

#include "editor/ImageCorrections.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"

namespace lk24 {
namespace {

using testing::SettingsWindow;

// Every option group shown, every other bit of the option bytes mixed.
Table mixedOptions() {
  Table image{};
  image.fill(0x5A);
  image[3] = 0xA4;
  image[26] = 0x7A;  // bits 1, 3, 4, 5, 6
  image[27] = 0xA5;  // bits 0, 2
  image[91] = 0xF2;  // bit 1
  image[170] = 0x54;
  image[233] = 0xA8;  // 433,92 MHz, no derived pauses
  // The pauses the serial number gives (n = 0x5A % 16 = 10), so switching
  // their derivation on changes no byte but its own bit.
  image[185] = 0;
  image[186] = 65;
  image[210] = 1;
  image[211] = 24;
  return image;
}

QAbstractButton* buttonShowing(SettingsWindow& w, const SwitchRow& row, bool bitSet) {
  if (row.kind == SwitchKind::CheckBox) return w.find<QCheckBox>(std::string(row.control));
  return w.find<QRadioButton>(std::string(bitSet ? row.control : row.clearControl));
}

void expectSwitchShows(SettingsWindow& w, const SwitchRow& row, bool bitSet) {
  const std::string name(row.control);
  if (row.kind == SwitchKind::CheckBox) {
    EXPECT_EQ(w.find<QCheckBox>(name)->isChecked(), checkedForBit(row, bitSet)) << name;
  } else {
    EXPECT_TRUE(buttonShowing(w, row, bitSet)->isChecked()) << name;
    EXPECT_FALSE(buttonShowing(w, row, !bitSet)->isChecked()) << name;
  }
  if (!row.statusLabel.empty()) {
    EXPECT_EQ(w.text(std::string(row.statusLabel)).toStdString(), statusText(row, bitSet)) << name;
  }
  for (std::string_view panelName : row.visibleWhileSet) {
    if (panelName.empty()) continue;
    EXPECT_EQ(w.find<QWidget>(std::string(panelName))->isHidden(), !bitSet) << panelName;
    for (const PanelRow& panel : panels()) {
      if (panel.name == panelName && !panel.placeholder.empty()) {
        EXPECT_FALSE(w.find<QWidget>(std::string(panel.placeholder))->isHidden()) << panel.placeholder;
      }
    }
  }
  for (std::string_view controlName : row.enabledWhileClear) {
    if (!controlName.empty()) {
      EXPECT_EQ(w.find<QWidget>(std::string(controlName))->isEnabled(), !bitSet) << controlName;
    }
  }
}

TEST(SettingsSwitches, EachSwitchChangesOnlyItsBitAndItsPanels) {
  for (const SwitchRow& row : switchMap()) {
    SCOPED_TRACE(std::string(row.control));
    SettingsWindow w;
    w.image.DeviceImage = mixedOptions();
    w.refresh();
    w.showActive();
    const Table start = w.image.DeviceImage;
    const bool startBit = switchBit(row, start);
    expectSwitchShows(w, row, startBit);

    for (bool target : {!startBit, startBit}) {
      const int runs = w.showdataRuns;
      const Table before = w.image.DeviceImage;
      w.clickBox(buttonShowing(w, row, target));
      Table expected = before;
      expected[row.byte] = static_cast<std::uint8_t>(expected[row.byte] ^ (1 << row.bit));
      EXPECT_EQ(w.image.DeviceImage, expected);
      EXPECT_EQ(w.showdataRuns, runs + (row.refreshesAfterClick ? 1 : 0));
      expectSwitchShows(w, row, target);
    }
    EXPECT_EQ(w.image.DeviceImage, start);
    EXPECT_EQ(w.beeps, 0);
  }
}

TEST(SettingsSwitches, DistanceAlarmOffAndOnBringsBackItsSubSettings) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.image.DeviceImage[26] = 0xAE;  // alarm on, far range, potentiometer, tone, self-clearing
  w.refresh();
  w.showActive();
  auto* alarm = w.find<QCheckBox>("CBalarmDistance");
  w.clickBox(alarm);
  EXPECT_EQ(w.image.DeviceImage[26], 0x8E);
  EXPECT_EQ(w.text("Lalarmdistance"), "deaktiviert");
  for (const char* hidden : {"PanelDistance1", "PanelDistance2", "PanelDistance3"}) {
    EXPECT_TRUE(w.find<QWidget>(hidden)->isHidden()) << hidden;
  }
  // What the user sees instead: the greyed copies, which nothing changes.
  for (const char* copy : {"Panel15", "Panel16", "Panel22"}) {
    QWidget* placeholder = w.find<QWidget>(copy);
    EXPECT_FALSE(placeholder->isHidden()) << copy;
    EXPECT_FALSE(placeholder->isEnabled()) << copy;
    for (auto* box : placeholder->findChildren<QAbstractButton*>()) EXPECT_FALSE(box->isChecked()) << copy;
  }
  w.clickBox(alarm);
  EXPECT_EQ(w.image.DeviceImage[26], 0xAE);
  EXPECT_TRUE(w.find<QCheckBox>("CBdistanceTon")->isChecked());
  EXPECT_TRUE(w.find<QCheckBox>("CBselfclear")->isChecked());
  EXPECT_TRUE(w.find<QRadioButton>("RBfern")->isChecked());
  EXPECT_TRUE(w.find<QRadioButton>("RBpoti")->isChecked());
  EXPECT_FALSE(w.field("FestSchwelle")->isEnabled());
}

TEST(SettingsSwitches, ClickingTheChosenButtonOnlyRefreshes) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.refresh();
  w.showActive();
  const Table before = w.image.DeviceImage;
  const int runs = w.showdataRuns;
  w.clickBox(w.find<QRadioButton>("RBfern"));
  EXPECT_TRUE(w.find<QRadioButton>("RBfern")->isChecked());
  EXPECT_EQ(w.image.DeviceImage, before);
  EXPECT_EQ(w.showdataRuns, runs + 1);
}

TEST(SettingsSwitches, FixedThresholdFieldFollowsTheChoice) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.image.DeviceImage[30] = 6;
  w.refresh();
  w.showActive();
  w.clickBox(w.find<QRadioButton>("RBpoti"));
  EXPECT_FALSE(w.field("FestSchwelle")->isEnabled());
  EXPECT_FALSE(w.find<QLabel>("Lfestschwelle")->isEnabled());
  EXPECT_EQ(w.image.DeviceImage[30], 6);
  w.clickBox(w.find<QRadioButton>("RBfest"));
  EXPECT_TRUE(w.field("FestSchwelle")->isEnabled());
  EXPECT_TRUE(w.find<QLabel>("Lfestschwelle")->isEnabled());
}

TEST(SettingsSwitches, Band868RaisesTheIntervalWithOneBeep) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.image.DeviceImage[88] = 0;
  w.image.DeviceImage[89] = 2;
  w.refresh();
  w.showActive();
  w.clickBox(w.find<QRadioButton>("RB868"));
  EXPECT_EQ(w.image.DeviceImage[233], 0xA9);
  EXPECT_EQ(w.word(88), 5);
  EXPECT_EQ(w.text("Meldeintervall"), "    5");
  EXPECT_EQ(w.beeps, 1);
  w.clickBox(w.find<QRadioButton>("RB433"));
  EXPECT_EQ(w.word(88), 5);
  EXPECT_EQ(w.beeps, 1);

  // Typing a shorter interval while 868,30 MHz is chosen is undone, with a beep.
  w.clickBox(w.find<QRadioButton>("RB868"));
  w.typeInto("Meldeintervall", "3");
  EXPECT_EQ(w.word(88), 5);
  EXPECT_EQ(w.beeps, 2);
}

TEST(SettingsSwitches, RelayStateTexts) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.image.DeviceImage[27] |= 0x08;
  w.refresh();
  EXPECT_TRUE(w.find<QRadioButton>("RBrelalaoff")->isChecked());
  EXPECT_EQ(w.text("Lruheinfo"), "(im Ruhezustand: angezogen)");
  w.image.DeviceImage[27] &= 0xF7;
  w.refresh();
  EXPECT_TRUE(w.find<QRadioButton>("RBrelalaon")->isChecked());
  EXPECT_EQ(w.text("Lruheinfo"), "(im Ruhezustand: abgefallen)");
}

TEST(SettingsSwitches, StatusTextsToggleTheirBoxes) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.refresh();
  w.showActive();
  auto* emergency = w.find<QLabel>("LNotruf");
  EXPECT_EQ(emergency->text(), "-deaktiviert-");
  w.clickOn(emergency);
  EXPECT_TRUE(w.find<QCheckBox>("CB_T_Notruf")->isChecked());
  EXPECT_EQ(w.image.DeviceImage[91], 0xF3);
  EXPECT_EQ(emergency->text(), "- aktiv -");
  w.clickOn(emergency);
  EXPECT_EQ(w.image.DeviceImage[91], 0xF2);

  auto* interval = w.find<QLabel>("Lintervall");
  w.clickOn(interval);
  EXPECT_EQ(w.image.DeviceImage[91], 0xF0);
  EXPECT_TRUE(w.find<QWidget>("PIntervall")->isHidden());
  EXPECT_TRUE(w.find<QWidget>("InfoBatt")->isHidden());
  EXPECT_EQ(w.word(88), 0x5A5A) << "the interval stays in the image";
  // The estimate follows the settings while its panel is hidden: LED
  // brightness 5, interval 60 s and 0800 mAh give 230 days.
  EXPECT_EQ(w.text("Tage"), " 476");
  w.image.DeviceImage[88] = 0;
  w.image.DeviceImage[89] = 60;
  w.typeInto("T_LedHell", "5");
  EXPECT_EQ(w.text("Tage"), " 230") << "the estimate is still computed";
  w.clickOn(interval);
  EXPECT_EQ(w.image.DeviceImage[91], 0xF2);
  EXPECT_FALSE(w.find<QWidget>("PIntervall")->isHidden());
}

TEST(SettingsSwitches, WritePermissionBox) {
  struct Case {
    std::uint8_t byte3;
    bool checked;
    std::uint8_t afterClick;
  };
  for (const Case& c : {Case{0x05, false, 0x04}, Case{0x02, true, 0x03}}) {
    SettingsWindow w;
    w.image.DeviceImage = mixedOptions();
    w.image.DeviceImage[3] = c.byte3;
    w.refresh();
    w.showActive();
    auto* box = w.find<QCheckBox>("CBwriteallow");
    EXPECT_EQ(box->isChecked(), c.checked);
    const int runs = w.showdataRuns;
    w.clickBox(box);
    EXPECT_EQ(w.image.DeviceImage[3], c.afterClick);
    w.clickBox(box);
    EXPECT_EQ(w.image.DeviceImage[3], c.byte3);
    EXPECT_EQ(w.showdataRuns, runs) << "the permission box does not refresh";
  }
}

TEST(SettingsSwitches, ArbitraryPausesFollowTheSerialNumber) {
  SettingsWindow w;
  w.image.DeviceImage = mixedOptions();
  w.image.DeviceImage[234] = 0x12;
  w.image.DeviceImage[235] = 0x34;
  w.refresh();
  w.showActive();
  w.clickBox(w.find<QCheckBox>("CBarbitupdate"));
  EXPECT_EQ(w.text("T_arbit"), "   41");
  EXPECT_EQ(w.text("T_Narbit"), "  232");
  w.typeInto("T_arbit", "500");
  EXPECT_EQ(w.text("T_arbit"), "   41");
  EXPECT_EQ(w.word(185), 41);
  w.clickBox(w.find<QCheckBox>("CBarbitupdate"));
  w.typeInto("T_arbit", "500");
  EXPECT_EQ(w.word(185), 500);
}

}  // namespace
}  // namespace lk24
