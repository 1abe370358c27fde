#include "editor/FieldMap.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace lk24 {
namespace {

int bytesOf(const FieldRow& field) { return field.kind == FieldKind::Word ? 2 : 1; }

TEST(FieldMap, FieldsOccupyTheirOwnBytes) {
  std::map<int, std::string> owner;
  for (const FieldRow& field : allFields()) {
    if (field.address < 0) continue;
    for (int a = field.address; a < field.address + bytesOf(field); ++a) {
      ASSERT_LT(a, kImageSize) << field.control;
      EXPECT_TRUE(owner.emplace(a, std::string(field.control)).second)
          << field.control << " shares byte " << a << " with " << owner[a];
    }
  }
  // The option bytes belong to switches only.
  for (const SwitchRow& row : switchMap()) {
    EXPECT_EQ(owner.count(row.byte), 0u) << "byte " << row.byte;
  }
  EXPECT_EQ(transmitterFields().size() + receiverFields().size(), allFields().size());
}

TEST(FieldMap, SignalTablesRunInTheirOrder) {
  for (int k = 1; k <= 10; ++k) {
    const std::string number = (k < 10 ? "0" : "") + std::to_string(k);
    const FieldRow* near = findField("ADN" + number);
    const FieldRow* far = findField("ADF" + number);
    ASSERT_NE(near, nullptr);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(near->address, 159 + k);
    EXPECT_EQ(far->address, 149 + k);
    EXPECT_EQ(near->captionBefore, std::to_string(k));
  }
  for (int k = 1; k <= 8; ++k) {
    const FieldRow* preset = findField("TByte" + std::to_string(k));
    ASSERT_NE(preset, nullptr);
    EXPECT_EQ(preset->address, 199 + k);
    EXPECT_EQ(preset->hint, "Sende-Byte " + std::to_string(k));
  }
}

TEST(FieldMap, StoresTypedTextBigEndianAndClamped) {
  Table image{};
  const FieldRow& interval = *findField("Meldeintervall");
  storeFieldText(interval, "4660", image);  // 0x1234
  EXPECT_EQ(image[88], 0x12);
  EXPECT_EQ(image[89], 0x34);
  storeFieldText(interval, "70000", image);
  EXPECT_EQ(image[88], 255);
  EXPECT_EQ(image[89], 255);
  storeFieldText(interval, "abc", image);
  EXPECT_EQ(image[88], 0);
  EXPECT_EQ(image[89], 0);
  EXPECT_EQ(fieldText(interval, image), "    0");

  const FieldRow& near5 = *findField("ADN05");
  storeFieldText(near5, "256", image);
  EXPECT_EQ(image[164], 255);
  storeFieldText(near5, "7", image);
  EXPECT_EQ(fieldText(near5, image), "007");

  image[176] = 0;
  image[177] = 123;
  EXPECT_EQ(fieldText(*findField("R_SerNum"), image), "00123");
  image[30] = 4;
  EXPECT_EQ(fieldText(*findField("FestSchwelle"), image), "  4");

  // Displays and fields outside the image never store.
  Table before = image;
  storeFieldText(*findField("PraePulsMin"), "999", image);
  storeFieldText(*findField("Tage"), "999", image);
  storeFieldText(*findField("Kapazitaet"), "999", image);
  EXPECT_EQ(image, before);
}

TEST(FieldMap, TypedLengthFitsTheRange) {
  for (const FieldRow& field : allFields()) {
    const int expected = field.kind == FieldKind::TableByte || field.control == "FestSchwelle" ||
                                 field.control == "T_praeambel"
                             ? 3
                             : field.kind == FieldKind::Capacity || field.kind == FieldKind::Days ? 4 : 5;
    EXPECT_EQ(field.maxLength, expected) << field.control;
  }
}

TEST(FieldMap, EveryNameIsUniqueAndEveryContainerExists) {
  std::set<std::string_view> containers{"PSender", "Pempfang"};
  for (const PageRow& page : pages()) containers.insert(page.name);
  for (const PanelRow& panel : panels()) {
    EXPECT_TRUE(containers.count(panel.container)) << panel.name;
    containers.insert(panel.name);
  }

  std::set<std::string_view> names(containers);
  auto claim = [&names](std::string_view name) {
    if (!name.empty()) {
      EXPECT_TRUE(names.insert(name).second) << name << " is used twice";
    }
  };
  for (const PanelRow& panel : panels()) claim(panel.placeholder);
  for (const PageRow& page : pages()) claim(page.cover);
  for (const FieldRow& field : allFields()) {
    claim(field.control);
    EXPECT_TRUE(containers.count(field.container)) << field.control;
  }
  for (const IdentityRow& display : identityDisplays()) claim(display.control);
  for (const CaptionRow& caption : captions()) {
    claim(caption.name);
    EXPECT_TRUE(containers.count(caption.container)) << caption.text;
  }
  for (const SwitchRow& row : switchMap()) {
    claim(row.control);
    claim(row.clearControl);
    claim(row.statusLabel);
    EXPECT_TRUE(containers.count(row.container)) << row.control;
  }
  // Dependents name things that exist.
  for (const SwitchRow& row : switchMap()) {
    for (std::string_view panel : row.visibleWhileSet) {
      if (!panel.empty()) {
        EXPECT_TRUE(containers.count(panel)) << panel;
      }
    }
    for (std::string_view control : row.enabledWhileClear) {
      if (!control.empty()) {
        EXPECT_TRUE(names.count(control)) << control;
      }
    }
  }
}

TEST(SwitchMap, EachSwitchChangesExactlyItsBit) {
  std::set<std::pair<int, int>> bits;
  for (const SwitchRow& row : switchMap()) {
    EXPECT_TRUE(bits.insert({row.byte, row.bit}).second) << row.control;
    for (std::uint8_t start : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x5A}}) {
      Table image{};
      image.fill(start);
      setSwitchBit(row, !switchBit(row, image), image);
      for (int a = 0; a < kImageSize; ++a) {
        const int expected = a == row.byte ? start ^ (1 << row.bit) : start;
        EXPECT_EQ(image[a], expected) << row.control << " address " << a;
      }
    }
  }
  EXPECT_EQ(bits.size(), 18u);
}

}  // namespace
}  // namespace lk24
