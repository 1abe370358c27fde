#include "editor/SwitchMap.h"

namespace lk24 {

namespace {

constexpr std::string_view kFrequencyHint = "benutztes Frequenzband (dutycycle)";
constexpr std::string_view kAlarmToneHint = "wenn selektiert, dann wird der akustische Alarmton auch ausgegeben";

struct CheckBoxRow {
  int byte, bit;
  std::string_view container, control, text, hint;
  int x, y;
  std::string_view statusLabel = {}, textSet = {}, textClear = {};
  int statusX = 0;
  bool statusClickable = false;
  std::array<std::string_view, 3> visibleWhileSet = {};
};

constexpr SwitchRow checkBox(const CheckBoxRow& row) {
  return {row.byte, row.bit, SwitchKind::CheckBox, row.container, row.control, row.text, row.hint, row.x, row.y,
          {}, {}, {}, 0, 0, true, row.statusLabel, row.textSet, row.textClear, row.statusX, row.y,
          row.statusClickable, row.visibleWhileSet, {}, true};
}

struct RadioRow {
  int byte, bit;
  std::string_view container;
  std::string_view setControl, setText, setHint;
  int setX, setY;
  std::string_view clearControl, clearText, clearHint;
  int clearX, clearY;
  std::array<std::string_view, 2> enabledWhileClear = {};
  std::string_view statusLabel = {}, textSet = {}, textClear = {};
  int statusX = 0, statusY = 0;
};

constexpr SwitchRow radioPair(const RadioRow& row) {
  return {row.byte, row.bit, SwitchKind::RadioPair, row.container, row.setControl, row.setText, row.setHint,
          row.setX, row.setY, row.clearControl, row.clearText, row.clearHint, row.clearX, row.clearY, true,
          row.statusLabel, row.textSet, row.textClear, row.statusX, row.statusY, false, {}, row.enabledWhileClear,
          true};
}

const std::array kSwitches = {
    // The device's write protection: checked means overwriting is allowed,
    // and ticking it is no reason to rewrite the window.
    SwitchRow{3, 0, SwitchKind::CheckBox, "TabSheet1", "CBwriteallow", "",
               "Wenn selektiert, dann darf die custom-Version das Gerät konfigurieren", 212, 272, {}, {}, {}, 0, 0,
               false, {}, {}, {}, 0, 0, false, {}, {}, false},

    radioPair({.byte = 26, .bit = 1, .container = "PanelDistance2", .setControl = "RBfern",
               .setText = "Fernbereich",
               .setHint = "maximale Empfangsempfindlichkeit für größere Empfangsreichweiten", .setX = 8, .setY = 2,
               .clearControl = "RBnah", .clearText = "Nahbereich",
               .clearHint = "geringe Empfangsempfindlichkeit für kleine Empfangsreichweiten (Nahbereich)",
               .clearX = 124, .clearY = 2}),
    radioPair({.byte = 26, .bit = 2, .container = "PanelDistance3", .setControl = "RBpoti",
               .setText = "mit Drehregler",
               .setHint = "die zulässige Entfernung kann über den Drehregler justiert werden", .setX = 8,
               .setY = 20, .clearControl = "RBfest", .clearText = "Festschwelle",
               .clearHint = "die zulässige Entfernung wird über einen Fixwert festgelegt.", .clearX = 8,
               .clearY = 42, .enabledWhileClear = {"FestSchwelle", "Lfestschwelle"}}),
    checkBox({.byte = 26, .bit = 3, .container = "PanelDistance1", .control = "CBdistanceTon", .text = "",
              .hint = kAlarmToneHint, .x = 96, .y = 4, .statusLabel = "LdistanceTon", .textSet = "ja",
              .textClear = "nein", .statusX = 116}),
    checkBox({.byte = 26, .bit = 4, .container = "PanelNotruf1", .control = "CBnotrufton", .text = "",
              .hint = kAlarmToneHint, .x = 96, .y = 2, .statusLabel = "Lnotrufton", .textSet = "ja",
              .textClear = "nein", .statusX = 116}),
    checkBox({.byte = 26, .bit = 5, .container = "TabSheet3", .control = "CBalarmDistance", .text = "",
              .hint = "wenn selektiert, dann darf der Entfernungsalarm ausgelöst werden", .x = 100, .y = 56,
              .statusLabel = "Lalarmdistance", .textSet = "aktiv", .textClear = "deaktiviert", .statusX = 120,
              .visibleWhileSet = {"PanelDistance1", "PanelDistance2", "PanelDistance3"}}),
    checkBox({.byte = 26, .bit = 6, .container = "TabSheet3", .control = "CBAlarmNotruf", .text = "",
              .hint = "wenn selektiert, dann darf der Notrufalarm ausgelöst werden", .x = 100, .y = 234,
              .statusLabel = "LalarmNotruf", .textSet = "aktiv", .textClear = "deaktiviert", .statusX = 120,
              .visibleWhileSet = {"PanelNotruf1"}}),
    checkBox({.byte = 26, .bit = 7, .container = "PanelDistance1", .control = "CBselfclear", .text = "",
              .hint = "wenn der Sender wieder innerhalb der eingestellten Reichweite ist, setzt der Alarm sich "
                      "automatisch zurück (keine Taster-Quittierung erforderlich)",
              .x = 96, .y = 30, .statusLabel = "Lselfclear", .textSet = "ja", .textClear = "nein",
              .statusX = 116}),

    checkBox({.byte = 27, .bit = 0, .container = "TabSheet5", .control = "CBTonTest", .text = "",
              .hint = "wenn selektiert, dann piepst auch der Alarmton beim Einschalten", .x = 152, .y = 328}),
    checkBox({.byte = 27, .bit = 1, .container = "TabSheet5", .control = "CBRelaisTest", .text = "",
              .hint = "wenn selektiert, dann zieht das Relais beim Einschalten kurz an", .x = 152, .y = 354}),
    checkBox({.byte = 27, .bit = 2, .container = "TabSheet5", .control = "CBResetTon", .text = "",
              .hint = "wenn selektiert, dann wird der Taster-Reset nach Ausführung durch einen kurzen Piepston "
                      "bestätigt!",
              .x = 152, .y = 276, .statusLabel = "LResetTon", .textSet = "ja", .textClear = "nein",
              .statusX = 172}),
    radioPair({.byte = 27, .bit = 3, .container = "PRelaiszustand", .setControl = "RBrelalaoff",
               .setText = "abgefallen", .setHint = "", .setX = 124, .setY = 24, .clearControl = "RBrelalaon",
               .clearText = "angezogen", .clearHint = "", .clearX = 8, .clearY = 24, .enabledWhileClear = {},
               .statusLabel = "Lruheinfo", .textSet = "(im Ruhezustand: angezogen)",
               .textClear = "(im Ruhezustand: abgefallen)", .statusX = 8, .statusY = 48}),

    checkBox({.byte = 91, .bit = 0, .container = "TabSheet2", .control = "CB_T_Notruf", .text = "",
              .hint = "wenn selektiert, dann kann über den Taster ein Notruf abgesetzt werden (sonst nur für "
                      "Batterietest)",
              .x = 100, .y = 94, .statusLabel = "LNotruf", .textSet = "- aktiv -", .textClear = "-deaktiviert-",
              .statusX = 120, .statusClickable = true}),
    checkBox({.byte = 91, .bit = 1, .container = "TabSheet2", .control = "CB_T_Intevall", .text = "",
              .hint = "wenn selektiert, dann wird zyklisch (im Sende-Intervall) eine Anwesenheitsmeldung gesendet",
              .x = 100, .y = 70, .statusLabel = "Lintervall", .textSet = "- aktiv -",
              .textClear = "-deaktiviert-", .statusX = 120, .statusClickable = true,
              .visibleWhileSet = {"PIntervall", "InfoBatt"}}),

    radioPair({.byte = 170, .bit = 0, .container = "TabSheet1", .setControl = "RXB868", .setText = "868,30",
               .setHint = kFrequencyHint, .setX = 164, .setY = 30, .clearControl = "RXB433", .clearText = "433,92",
               .clearHint = kFrequencyHint, .clearX = 96, .clearY = 30}),

    radioPair({.byte = 233, .bit = 0, .container = "TSwerkSender", .setControl = "RB868", .setText = "868,30",
               .setHint = kFrequencyHint, .setX = 172, .setY = 30, .clearControl = "RB433", .clearText = "433,92",
               .clearHint = kFrequencyHint, .clearX = 104, .clearY = 30}),
    checkBox({.byte = 233, .bit = 1, .container = "TSwerkSender", .control = "CBpreset", .text = "",
              .hint = "wenn selektiert, dann werden nur die Presetdaten gesendet!", .x = 64, .y = 364}),
    checkBox({.byte = 233, .bit = 2, .container = "TSwerkSender", .control = "CBarbitupdate",
              .text = "arbit autocal", .hint = "automatische berechnung des Arbiträrintervalls", .x = 156, .y = 6}),
};

}  // namespace

std::span<const SwitchRow> switchMap() { return kSwitches; }

const SwitchRow* findSwitch(std::string_view control) {
  for (const SwitchRow& row : kSwitches) {
    if (row.control == control || (!row.clearControl.empty() && row.clearControl == control)) return &row;
  }
  return nullptr;
}

bool switchBit(const SwitchRow& row, const Table& image) { return (image[row.byte] >> row.bit & 1) != 0; }

void setSwitchBit(const SwitchRow& row, bool set, Table& image) {
  const auto mask = static_cast<std::uint8_t>(1u << row.bit);
  image[row.byte] = static_cast<std::uint8_t>(set ? image[row.byte] | mask : image[row.byte] & ~mask);
}

bool checkedForBit(const SwitchRow& row, bool bitSet) { return row.checkedMeansSet ? bitSet : !bitSet; }

bool bitForChecked(const SwitchRow& row, bool checked) { return row.checkedMeansSet ? checked : !checked; }

std::string_view statusText(const SwitchRow& row, bool bitSet) { return bitSet ? row.textSet : row.textClear; }

}  // namespace lk24
