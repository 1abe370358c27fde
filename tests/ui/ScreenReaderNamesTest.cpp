// What a screen reader announces: every field, switch and radio button by
// the caption beside it (with its page where a caption repeats) and its hint,
// read through Qt's accessibility interfaces as Orca and Narrator read them.

#include "ShellTestSupport.h"

#include "editor/FieldMap.h"
#include "editor/SwitchMap.h"
#include "ui/PieGauge.h"
#include "ui/ULK24.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>

#include <set>

namespace lk24::test {
namespace {

using ScreenReaderNamesTest = ShellTest;

QString fromTable(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The caption as the window shows it, its lines read as one: a word split
// by a hyphen joined again ("Entfernungs-" "alarm:"), a compound kept whole,
// a doubled colon read as one ("LowPause::").
QString shownCaption(std::string_view text) {
  return fromTable(text)
      .replace(QRegularExpression(QStringLiteral("-\n(?=[a-zäöü])")), QString())
      .replace(QStringLiteral("-\n"), QStringLiteral("-"))
      .replace(QLatin1Char('\n'), QLatin1Char(' '))
      .replace(QStringLiteral("::"), QStringLiteral(":"));
}

struct Announced {
  QAccessible::Role role;
  QString name;
  QString description;
};

Announced announced(TForm1& form, std::string_view control) {
  auto* widget = form.findChild<QWidget*>(fromTable(control));
  if (widget == nullptr) {
    ADD_FAILURE() << "no control " << control;
    return {};
  }
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  if (accessible == nullptr) {
    ADD_FAILURE() << "nothing to announce for " << control;
    return {};
  }
  return {accessible->role(), accessible->text(QAccessible::Name), accessible->text(QAccessible::Description)};
}

TEST_F(ScreenReaderNamesTest, EveryFieldSwitchAndRadioButtonIsNamedByItsCaption) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  // Controls of one kind announced alike could not be told apart.
  std::map<std::pair<QAccessible::Role, QString>, std::string> named;
  auto expectUnique = [&named](const Announced& heard, std::string_view control) {
    const auto [at, added] = named.emplace(std::pair{heard.role, heard.name}, std::string(control));
    EXPECT_TRUE(added) << control << " and " << at->second << " are both announced as " << heard.name.toStdString();
  };

  for (const FieldRow& field : allFields()) {
    const Announced heard = announced(form, field.control);
    EXPECT_EQ(heard.role, QAccessible::EditableText) << field.control;
    // A table entry is announced with its table ("Nah-RSSI: 3"), a field of a
    // pair with its half ("... an"), so the caption may stand inside the name.
    EXPECT_FALSE(heard.name.isEmpty()) << field.control;
    if (!field.captionBefore.empty()) {
      EXPECT_TRUE(heard.name.contains(shownCaption(field.captionBefore)))
          << field.control << ": " << heard.name.toStdString();
    }
    if (!field.hint.empty()) {
      EXPECT_EQ(heard.description, fromTable(field.hint)) << field.control;
    }
    expectUnique(heard, field.control);
  }
  for (const IdentityRow& display : identityDisplays()) {
    const Announced heard = announced(form, display.control);
    EXPECT_TRUE(heard.name.startsWith(fromTable(display.caption))) << display.control << ": " << heard.name.toStdString();
    expectUnique(heard, display.control);
  }
  for (const SwitchRow& row : switchMap()) {
    for (const auto& [control, text, hint] : {std::tuple{row.control, row.controlText, row.hint},
                                              std::tuple{row.clearControl, row.clearText, row.clearHint}}) {
      if (control.empty()) continue;
      const Announced heard = announced(form, control);
      const bool radio = row.kind == SwitchKind::RadioPair;
      EXPECT_EQ(heard.role, radio ? QAccessible::RadioButton : QAccessible::CheckBox) << control;
      EXPECT_FALSE(heard.name.isEmpty()) << control;
      if (radio || !text.empty()) {
        EXPECT_TRUE(heard.name.startsWith(fromTable(text))) << control << ": " << heard.name.toStdString();
      }
      if (!hint.empty()) {
        EXPECT_EQ(heard.description, fromTable(hint)) << control;
      }
      expectUnique(heard, control);
    }
  }

  // Captions that stand on more than one page carry theirs.
  EXPECT_EQ(announced(form, "R_AlarmZeit").name, QStringLiteral("Alarm nach:"));
  EXPECT_EQ(announced(form, "T_ID").name, QStringLiteral("Sender-ID: (SENDER / Grundeinstellung)"));
  EXPECT_EQ(announced(form, "R_ID").name, QString::fromUtf8("Sender-ID: (EMPFÄNGER / Grundeinstellung)"));
  EXPECT_EQ(announced(form, "LTFirm").name, QStringLiteral("Firmware: (SENDER)"));
  // A field without a caption of its own is named by its row or table.
  EXPECT_EQ(announced(form, "T_arbit").name, QStringLiteral("Normal-Pause: + arbit"));
  EXPECT_EQ(announced(form, "L1_off").name, QStringLiteral("zykl. Lichtsignal: Entfernungsalarm: aus"));
  EXPECT_EQ(announced(form, "ADN03").name, QStringLiteral("Nah-RSSI: 3"));
  EXPECT_EQ(announced(form, "FestSchwelle").name, QStringLiteral("Festschwelle"));
}

TEST_F(ScreenReaderNamesTest, TheBigButtonsTheGaugeAndTheLogAreNamed) {
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  EXPECT_EQ(announced(form, "LeseButton").name, QStringLiteral("Konfiguration auslesen"));
  EXPECT_EQ(announced(form, "LeseButton").description, QString::fromUtf8("Gerätekonfiguration auslesen"));
  EXPECT_EQ(announced(form, "ProgButton").name, QStringLiteral("Konfiguration programmieren"));
  EXPECT_EQ(announced(form, "MInfo").name, QStringLiteral("Informationsfenster"));

  form.Gauge->setProgress(37);
  QAccessibleInterface* gauge = QAccessible::queryAccessibleInterface(form.Gauge);
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(gauge->role(), QAccessible::ProgressBar);
  EXPECT_EQ(gauge->text(QAccessible::Name), QStringLiteral("Fortschritt"));
  EXPECT_EQ(gauge->text(QAccessible::Value), QStringLiteral("37 %"));
  ASSERT_NE(gauge->valueInterface(), nullptr);
  EXPECT_EQ(gauge->valueInterface()->currentValue().toInt(), 37);
  EXPECT_EQ(gauge->valueInterface()->maximumValue().toInt(), 100);
}

}  // namespace
}  // namespace lk24::test
