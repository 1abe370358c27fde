#include "editor/SettingsInWords.h"

#include "editor/FieldMap.h"
#include "editor/SwitchMap.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace lk24 {
namespace {

Table sampleImage() {
  Table image{};
  for (int a = 0; a < kImageSize; ++a) image[a] = static_cast<std::uint8_t>(a * 7 + 3);
  return image;
}

std::string trimmedFieldValue(const FieldRow& field, const Table& image) {
  std::string text = fieldText(field, image);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

const SettingText& byAddresses(const std::vector<SettingText>& settings, const std::string& addresses) {
  for (const SettingText& s : settings) {
    if (s.addresses == addresses) return s;
  }
  ADD_FAILURE() << "no setting at " << addresses;
  static const SettingText none;
  return none;
}

TEST(SettingsInWords, EveryCaptionIsTheWindowsWordsAndNamesOneSettingOfItsPage) {
  std::set<std::string> controls;
  for (const FieldRow& field : allFields()) controls.insert(std::string(field.control));
  for (const SwitchRow& row : switchMap()) controls.insert(std::string(row.control));
  for (const SettingsHalves halves : {SettingsHalves::Transmitter, SettingsHalves::Receiver}) {
    std::set<std::pair<std::string, std::string>> seen;
    for (const SettingText& s : describeSettings(sampleImage(), halves)) {
      EXPECT_FALSE(s.caption.empty()) << s.addresses;
      EXPECT_EQ(s.caption.find('\n'), std::string::npos) << s.caption;
      EXPECT_EQ(s.caption.find("::"), std::string::npos) << s.caption;
      EXPECT_EQ(controls.count(s.caption), 0u) << "a control's name, not its caption: " << s.caption;
      EXPECT_TRUE(seen.insert({s.page, s.caption}).second) << "twice on " << s.page << ": " << s.caption;
    }
  }
}

TEST(SettingsInWords, RowsReadAsTheWindowShowsThem) {
  Table image = sampleImage();
  image[24] = 0x02;  // "Alarm nach:" 600 sec
  image[25] = 0x58;
  image[3] = 0x01;   // write protection set: overwriting is not allowed
  image[170] = 0x01;
  const std::vector<SettingText> receiver = describeSettings(image, SettingsHalves::Receiver);
  ASSERT_FALSE(receiver.empty());
  EXPECT_EQ(receiver.front().caption, "Firmware:");
  EXPECT_EQ(receiver[1].caption, "Sender-ID:");

  const SettingText& alarm = byAddresses(receiver, "24-25");
  EXPECT_EQ(alarm.caption, "Alarm nach:");
  EXPECT_EQ(alarm.value, "600");
  EXPECT_EQ(alarm.unit, "sec");
  EXPECT_EQ(byAddresses(receiver, "38-39").caption, "zykl. Lichtsignal: Entfernungsalarm: aus");
  EXPECT_EQ(byAddresses(receiver, "112-113").caption, "Präambelpuls: max");
  EXPECT_EQ(byAddresses(receiver, "112-113").unit, "us");
  EXPECT_EQ(byAddresses(receiver, "114-115").caption, "LowPause: min");
  EXPECT_EQ(byAddresses(receiver, "160").caption, "Nah-RSSI: 1");
  EXPECT_EQ(byAddresses(receiver, "30").caption, "Festschwelle");
  EXPECT_EQ(byAddresses(receiver, "170 Bit 0").value, "868,30");
  EXPECT_EQ(byAddresses(receiver, "3 Bit 0").value, "nein");
  EXPECT_EQ(byAddresses(receiver, "26 Bit 4").caption, "Notrufalarm: mit Alarmton:");

  const std::vector<SettingText> transmitter = describeSettings(image, SettingsHalves::Transmitter);
  for (const SettingText& s : transmitter) EXPECT_EQ(s.page.rfind("SENDER", 0), 0u) << s.page;
  EXPECT_EQ(byAddresses(transmitter, "185-186").caption, "Normal-Pause: + arbit");
}

// One changed byte of each field, or one changed bit of each switch, is
// exactly that setting; a bit no setting shows is its byte.
TEST(SettingsInWords, OneChangeGivesExactlyItsSetting) {
  const Table a = sampleImage();
  const std::vector<SettingText> all = describeSettings(a, SettingsHalves::Both);
  for (const FieldRow& field : allFields()) {
    if (field.address < 0) continue;
    Table b = a;
    const int changed = field.kind == FieldKind::Word ? field.address + 1 : field.address;
    b[changed] ^= 0x10;
    const auto differences = compareSettings(a, b, SettingsHalves::Both);
    ASSERT_EQ(differences.size(), 1u) << field.control;
    EXPECT_EQ(differences[0].a, trimmedFieldValue(field, a)) << field.control;
    EXPECT_EQ(differences[0].b, trimmedFieldValue(field, b)) << field.control;
    const std::string& addresses = differences[0].addresses;
    EXPECT_EQ(byAddresses(all, addresses).caption, differences[0].caption);
    EXPECT_EQ(addresses.substr(0, addresses.find('-')), std::to_string(field.address));
  }
  for (const SwitchRow& row : switchMap()) {
    Table b = a;
    b[row.byte] ^= static_cast<std::uint8_t>(1u << row.bit);
    const auto differences = compareSettings(a, b, SettingsHalves::Both);
    ASSERT_EQ(differences.size(), 1u) << row.control;
    EXPECT_EQ(differences[0].addresses, std::to_string(row.byte) + " Bit " + std::to_string(row.bit));
    EXPECT_NE(differences[0].a, differences[0].b);
  }

  Table b = a;
  b[26] ^= 0x01;  // the option byte's bit 0 has no switch
  b[0] ^= 0xFF;   // byte 0 has no field
  b[90] ^= 0x01;  // the transmitter's LED brightness is no receiver setting
  b[253] ^= 0x01;
  const auto differences = compareSettings(a, b, SettingsHalves::Receiver, 250);
  ASSERT_EQ(differences.size(), 3u);
  EXPECT_EQ(differences[0].caption, "Byte 0");
  EXPECT_EQ(differences[1].caption, "Byte 26");
  EXPECT_EQ(differences[1].a, std::to_string(a[26]));
  EXPECT_TRUE(differences[1].page.empty());
  EXPECT_EQ(differences[2].caption, "Byte 90");
  EXPECT_TRUE(compareSettings(a, a, SettingsHalves::Both).empty());
}

}  // namespace
}  // namespace lk24
