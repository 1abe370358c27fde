// Edit fields of both halves, driven through real key and mouse input.
#include "SettingsTestFixture.h"

#include "editor/FieldMap.h"
#include "editor/NumberCodecs.h"
#include "ui/DesignPalette.h"

#include <QApplication>

namespace lk24 {
namespace {

using testing::SettingsWindow;

// A transmitter on 433,92 MHz without derived pauses, so no correction
// interferes with what the tests type.
void prepareQuietImage(SettingsWindow& w) {
  w.image.DeviceImage.fill(0);
  w.image.DeviceImage[26] = 0x60;  // distance and emergency panels shown
  w.image.DeviceImage[91] = 0x02;  // interval panels shown
  w.image.DeviceImage[30] = 5;
  w.image.DeviceImage[21] = 100;
  w.image.DeviceImage[89] = 60;
  w.refresh();
}

TEST(SettingsFields, TypingStoresEachKindAtItsAddress) {
  SettingsWindow w;
  prepareQuietImage(w);
  w.showActive();

  w.typeInto("T_ID", "4660");  // 0x1234, high byte first
  EXPECT_EQ(w.image.DeviceImage[86], 0x12);
  EXPECT_EQ(w.image.DeviceImage[87], 0x34);
  EXPECT_EQ(w.text("T_ID"), " 4660");

  w.typeInto("R_TonPer", "300");
  EXPECT_EQ(w.image.DeviceImage[21], 255);
  EXPECT_EQ(w.text("R_TonPer"), "  255");

  w.typeInto("ADN05", "256");
  EXPECT_EQ(w.image.DeviceImage[164], 255);
  EXPECT_EQ(w.text("ADN05"), "255");
  w.typeInto("ADN05", "7");
  EXPECT_EQ(w.image.DeviceImage[164], 7);
  EXPECT_EQ(w.text("ADN05"), "007");

  const Table before = w.image.DeviceImage;
  w.typeInto("Kapazitaet", "50");
  EXPECT_EQ(w.text("Kapazitaet"), "0050");
  w.typeInto("Kapazitaet", "abc");
  EXPECT_EQ(w.text("Kapazitaet"), "0000");
  EXPECT_EQ(w.text("Tage"), "   0");
  EXPECT_EQ(w.image.DeviceImage, before) << "the capacity lives only in its field";
}

struct Trap {
  const char* field;
  const char* typed;
  int stored;
  const char* shown;
};

TEST(SettingsFields, BadInputIsTakenSilently) {
  const Trap traps[] = {
      {"R_drueck", "abc", 0, "    0"},
      {"R_drueck", "70000", 65535, "65535"},
      {"R_drueck", "-3", 0, "    0"},
      {"R_drueck", "", 0, "    0"},
      {"SigTestDauer", "300", 255, "  255"},
      {"SigTestDauer", "$1F", 31, "   31"},
      {"SigTestDauer", "0x10", 16, "   16"},
      {"SigTestDauer", "  12", 12, "   12"},
      {"SigTestDauer", "12 ", 0, "    0"},
      {"SigTestDauer", "12345", 255, "  255"},
  };
  SettingsWindow w;
  prepareQuietImage(w);
  w.showActive();
  for (const Trap& trap : traps) {
    w.image.DeviceImage[32] = w.image.DeviceImage[33] = w.image.DeviceImage[20] = 99;
    w.beeps = 0;
    w.typeInto(trap.field, QString::fromLatin1(trap.typed));
    const int address = findField(trap.field)->address;
    const int stored = findField(trap.field)->kind == FieldKind::Word ? w.word(address) : w.image.DeviceImage[address];
    EXPECT_EQ(stored, trap.stored) << trap.field << " \"" << trap.typed << "\"";
    EXPECT_EQ(w.text(trap.field), trap.shown) << trap.field << " \"" << trap.typed << "\"";
    EXPECT_EQ(w.beeps, 0);
  }
  // Longer texts cannot be typed at all: the field keeps its first five characters.
  w.typeInto("R_drueck", "123456789012345678901");
  EXPECT_EQ(w.word(32), 12345);
  w.typeInto("T_praeambel", "1234");
  EXPECT_EQ(w.image.DeviceImage[192], 123);
  EXPECT_EQ(w.text("T_praeambel"), "  123") << "shown in five places although only three are typed";
  // A shown value longer than the typing limit can still be shortened.
  QLineEdit* preamble = w.field("T_praeambel");
  w.clickOn(preamble);
  QTest::keyClick(preamble, Qt::Key_End);
  QTest::keyClick(preamble, Qt::Key_Backspace);
  EXPECT_EQ(preamble->text(), "  12");
  QTest::keyClick(preamble, Qt::Key_9);
  EXPECT_EQ(preamble->text(), "  12") << "but not lengthened";
  QTest::keyClick(preamble, Qt::Key_Tab);
  EXPECT_EQ(w.image.DeviceImage[192], 12);
  w.typeInto("FestSchwelle", "1234");
  EXPECT_EQ(w.image.DeviceImage[30], 10) << "123 typed, 10 after the threshold correction";
}

TEST(SettingsFields, EnterStoresAndKeepsTheFocusWithTheTextSelected) {
  SettingsWindow w;
  prepareQuietImage(w);
  w.showActive();
  QLineEdit* edit = w.field("L2_off");
  w.clickOn(edit);
  EXPECT_TRUE(edit->hasSelectedText()) << "a click selects the whole text";
  QTest::keyClicks(edit, "777");
  const int runs = w.showdataRuns;
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(w.word(42), 777);
  EXPECT_EQ(w.showdataRuns, runs + 1);
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(edit->selectedText(), "  777");

  // Leaving afterwards stores the same value again.
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_FALSE(edit->hasFocus());
  EXPECT_EQ(w.word(42), 777);
  EXPECT_EQ(w.showdataRuns, runs + 2);

  QLineEdit* capacity = w.field("Kapazitaet");
  w.clickOn(capacity);
  QTest::keyClicks(capacity, "1200");
  QTest::keyClick(capacity, Qt::Key_Enter);
  EXPECT_TRUE(capacity->hasFocus());
  EXPECT_EQ(capacity->selectedText(), "1200");
  EXPECT_EQ(w.text("Tage"), " 365");  // brightness 0, 60 s: 137 µA

  // Tab reaches a field with its text selected, so typing replaces it.
  QLineEdit* before = w.field("L1_off");
  w.clickOn(before);
  QTest::keyClick(before, Qt::Key_Tab);
  QWidget* next = QApplication::focusWidget();
  auto* nextEdit = qobject_cast<QLineEdit*>(next);
  ASSERT_NE(nextEdit, nullptr);
  EXPECT_EQ(nextEdit->selectedText(), nextEdit->text());
}

TEST(SettingsFields, EveryFieldShowsAndStoresItsOwnBytes) {
  SettingsWindow w;
  prepareQuietImage(w);
  w.transmitterDetected = w.receiverDetected = true;
  Table& image = w.image.DeviceImage;
  // Distinct values everywhere but the option bytes and corrected ones.
  for (const FieldRow& field : allFields()) {
    if (field.address < 0) continue;
    image[field.address] = static_cast<std::uint8_t>(field.address);
    if (field.kind == FieldKind::Word) image[field.address + 1] = static_cast<std::uint8_t>(255 - field.address);
  }
  image[30] = 7;
  image[90] = 9;
  image[180] = 50;
  w.refresh();
  for (const FieldRow& field : allFields()) {
    if (field.address < 0) continue;
    const int value = field.kind == FieldKind::Word ? w.word(field.address) : image[field.address];
    EXPECT_EQ(w.text(std::string(field.control)), QString::fromStdString(fillString(field.width, field.fill, value)))
        << field.control;
  }

  w.showActive();
  int typed = 1000;
  for (const FieldRow& field : allFields()) {
    if (field.address < 0) continue;
    QLineEdit* edit = w.field(std::string(field.control));
    const Table before = image;
    typed += 7;
    const int value = field.kind == FieldKind::Word ? typed : 3 + typed % 7;
    w.typeInto(std::string(field.control), QString::number(value));
    if (field.displayOnly) {
      EXPECT_FALSE(edit->isEnabled()) << field.control;
      EXPECT_EQ(image, before) << field.control << " is a display";
      continue;
    }
    for (int a = 0; a < kImageSize; ++a) {
      int expected = before[a];
      if (a == field.address) expected = field.kind == FieldKind::Word ? value / 256 : value;
      if (a == field.address + 1 && field.kind == FieldKind::Word) expected = value % 256;
      EXPECT_EQ(image[a], expected) << field.control << " address " << a;
    }
    EXPECT_EQ(edit->text(), QString::fromStdString(fillString(field.width, field.fill, value))) << field.control;
  }
}

TEST(SettingsFields, DerivedFiguresComeOutOfTheWindow) {
  SettingsWindow w;
  prepareQuietImage(w);
  w.showActive();
  struct Battery {
    const char* brightness;
    const char* interval;
    const char* days;
  };
  for (const Battery& b : {Battery{"5", "60", " 230"}, Battery{"10", "5", "  31"}, Battery{"0", "3600", " 469"},
                           Battery{"5", "40", " 183"}}) {
    w.typeInto("T_LedHell", b.brightness);
    w.typeInto("Meldeintervall", b.interval);
    EXPECT_EQ(w.text("Tage"), b.days) << b.brightness << " / " << b.interval;
  }
  w.typeInto("Meldeintervall", "0");
  EXPECT_EQ(w.text("Tage"), "----");
  EXPECT_EQ(w.text("LTmin"), "(ca. 0 min)") << "the rest of the refresh still ran";

  for (auto [seconds, minutes] : {std::pair{"150", "(ca. 2 min)"}, {"90", "(ca. 2 min)"}, {"30", "(ca. 0 min)"}}) {
    w.typeInto("Meldeintervall", seconds);
    EXPECT_EQ(w.text("LTmin"), minutes);
    w.typeInto("R_AlarmZeit", seconds);
    EXPECT_EQ(w.text("LMinuten"), minutes);
  }
  w.typeInto("R_AlarmZeit", "89");
  EXPECT_EQ(w.text("LMinuten"), "(ca. 1 min)");

  for (auto [period, hertz] : {std::pair{"100", "(ca. 1250 Hz)"}, {"255", "(ca. 490 Hz)"}, {"1", "(ca. 125000 Hz)"},
                               {"3", "(ca. 41667 Hz)"}, {"0", "(ca. 125000 Hz)"}}) {
    w.typeInto("R_TonPer", period);
    EXPECT_EQ(w.text("Lfreq"), hertz);
  }
  EXPECT_EQ(w.text("R_TonPer"), "    1");

  w.typeInto("FestSchwelle", "0");
  EXPECT_EQ(w.text("FestSchwelle"), "  1");
  w.typeInto("FestSchwelle", "200");
  EXPECT_EQ(w.image.DeviceImage[30], 10);
  w.typeInto("T_LedHell", "11");
  EXPECT_EQ(w.text("T_LedHell"), "   10");
  w.typeInto("T_Bitanzahl", "65");
  EXPECT_EQ(w.text("T_Bitanzahl"), "   64");
  w.typeInto("R_BitAnzahl", "65");
  EXPECT_EQ(w.text("R_BitAnzahl"), "   65") << "the receiver's bit count has no such limit";
}

TEST(SettingsFields, CapacityTextThatIsNoNumberGivesNoEstimate) {
  SettingsWindow w;
  prepareQuietImage(w);
  w.showActive();
  QLineEdit* capacity = w.field("Kapazitaet");
  w.clickOn(capacity);
  QTest::keyClicks(capacity, "ab");
  w.refresh();  // a refresh from elsewhere while the text is not taken in
  EXPECT_EQ(w.text("Tage"), "----");
  EXPECT_EQ(capacity->text(), "ab");
}

TEST(SettingsFields, TheDaysFieldIsADisplay) {
  SettingsWindow w;
  prepareQuietImage(w);
  w.showActive();
  QLineEdit* days = w.field("Tage");
  EXPECT_FALSE(days->hasFrame());
  EXPECT_EQ(days->focusPolicy() & Qt::TabFocus, 0);
  EXPECT_EQ(days->palette().color(QPalette::Text), kDesignRed);
  const Table before = w.image.DeviceImage;
  w.clickOn(days);
  QTest::keyClicks(days, "1");
  QTest::keyClick(days, Qt::Key_Return);
  QTest::keyClick(days, Qt::Key_Tab);
  EXPECT_EQ(w.image.DeviceImage, before);
  EXPECT_EQ(w.text("Tage"), " 243");
}

}  // namespace
}  // namespace lk24
