#include "model/TemplateFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace lk24 {
namespace {

ConfigImage sampleImage() {
  ConfigImage image;
  for (int i = 0; i < kImageSize; ++i) {
    image.FactoryImage[i] = static_cast<std::uint8_t>(i * 7);
    image.DeviceImage[i] = static_cast<std::uint8_t>(i * 11 + 3);
    image.AndMask[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 0xFF : 0x0F);
    image.OrMask[i] = static_cast<std::uint8_t>(i % 5 == 0 ? 0xF0 : 0x00);
  }
  return image;
}

LineList linesOf(const std::string& text) {
  LineList lines;
  lines.setText(text);
  return lines;
}

TEST(TemplateChecksum, SplitsTheSumWithTiesToEven) {
  struct Case {
    int sum, high, low;
  };
  const Case cases[] = {
      {0, 0, 0},     {127, 0, 127},  {128, 0, 128},   {129, 1, -127}, {383, 1, 127},
      {384, 2, -128}, {385, 2, -127}, {640, 2, 128},  {65407, 255, 127}, {65408, 256, -128},
      {65535, 256, -1},
  };
  for (const auto& c : cases) {
    const TemplateChecksum split = splitTemplateSum(c.sum);
    EXPECT_EQ(split.high, c.high) << c.sum;
    EXPECT_EQ(split.low, c.low) << c.sum;
  }
}

TEST(TemplateChecksum, WeightsEachAddressByItsPosition) {
  ConfigImage image;
  EXPECT_EQ(templateChecksum(image).sum, 0);

  image.DeviceImage[1] = 178;  // (36*1*178+25) div 50 = 128
  TemplateChecksum c = templateChecksum(image);
  EXPECT_EQ(c.sum, 128);
  EXPECT_EQ(c.high, 0);
  EXPECT_EQ(c.low, 128);

  image.DeviceImage[1] = 0;
  image.DeviceImage[3] = 178;  // term 384
  c = templateChecksum(image);
  EXPECT_EQ(c.sum, 384);
  EXPECT_EQ(c.high, 2);
  EXPECT_EQ(c.low, -128);

  // Address 0 has weight 0; at address 1 a step from 1 to 2 keeps term 1.
  image = ConfigImage{};
  image.FactoryImage[0] = 255;
  image.OrMask[0] = 17;
  EXPECT_EQ(templateChecksum(image).sum, 0);
  image.AndMask[1] = 1;
  EXPECT_EQ(templateChecksum(image).sum, 1);
  image.AndMask[1] = 2;
  EXPECT_EQ(templateChecksum(image).sum, 1);
}

TEST(TemplateChecksum, WrapsAt65536) {
  ConfigImage image;
  image.FactoryImage.fill(255);
  image.DeviceImage.fill(255);
  image.AndMask.fill(255);
  image.OrMask.fill(255);
  long exact = 0;
  for (int i = 0; i < kImageSize; ++i) exact += (36L * i * 1020 + 25) / 50;
  EXPECT_EQ(templateChecksum(image).sum, static_cast<int>(exact % 65536));
}

TEST(BuildFile, WritesTheMergedImageAndTheFixedLines) {
  ConfigImage image = sampleImage();
  ConfigImage merged = image;
  merged.FilterUserData();
  const LineList lines = BuildFile(image, 3, " 1.05", " ??? ");
  ASSERT_EQ(lines.count(), line::kCount);
  EXPECT_EQ(image.DeviceImage, merged.DeviceImage);  // the merge happened in place
  for (int i = 0; i < kImageSize; ++i) {
    EXPECT_EQ(lines.line(line::kFactoryImage + i), std::to_string(image.FactoryImage[i]));
    EXPECT_EQ(lines.line(line::kDeviceImage + i), std::to_string(merged.DeviceImage[i]));
    EXPECT_EQ(lines.line(line::kAndMask + i), std::to_string(image.AndMask[i]));
    EXPECT_EQ(lines.line(line::kOrMask + i), std::to_string(image.OrMask[i]));
  }
  const TemplateChecksum c = templateChecksum(image);
  EXPECT_EQ(lines.line(1024), std::to_string(c.high));
  EXPECT_EQ(lines.line(1025), std::to_string(c.low));
  const char* fixed[] = {"[+][00]", "[+][01]", "[COM]", "3", "[Firmware-T]", " 1.05", "[Firmware-R]",
                         " ??? ", "[PC]", "1", "00", "--*--", "comments: -reserved-"};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(lines.line(1026 + i), fixed[i]) << 1026 + i;
  EXPECT_NE(lines.line(1039).find("m/y 08/2007"), std::string::npos);
}

TEST(TemplateLoad, ABuiltFileReadsBackValidWithTheSameTables) {
  ConfigImage image = sampleImage();
  const LineList lines = linesOf(BuildFile(image, 2, " ??? ", " ??? ").text());
  ConfigImage loaded;
  loaded.presetForStartup();
  EXPECT_EQ(loadTemplateTables(lines, loaded), TemplateLoad::Valid);
  EXPECT_EQ(loaded.FactoryImage, image.FactoryImage);
  EXPECT_EQ(loaded.DeviceImage, image.DeviceImage);
  EXPECT_EQ(loaded.AndMask, image.AndMask);
  EXPECT_EQ(loaded.OrMask, image.OrMask);
  EXPECT_EQ(scanPortEntry(lines, 1), 2);
}

TEST(TemplateLoad, AllZeroTablesHaveChecksumLinesZero) {
  ConfigImage zero;
  const LineList lines = BuildFile(zero, 1, "", "");
  EXPECT_EQ(lines.line(1024), "0");
  EXPECT_EQ(lines.line(1025), "0");
}

TEST(TemplateLoad, EditsAtAddressZeroKeepItValidAtAddressOneBreakIt) {
  ConfigImage image;  // all zero
  LineList lines = BuildFile(image, 1, "", "");
  std::string text = lines.text();
  LineList edited = linesOf(text);

  // Address 0 of every table carries weight 0.
  LineList zeroEdit;
  for (int i = 0; i < edited.count(); ++i) {
    const bool addressZero = i == 0 || i == 256 || i == 512 || i == 768;
    zeroEdit.append(addressZero ? "99" : edited.line(i));
  }
  ConfigImage loaded;
  EXPECT_EQ(loadTemplateTables(zeroEdit, loaded), TemplateLoad::Valid);

  LineList oneEdit;
  for (int i = 0; i < edited.count(); ++i) oneEdit.append(i == 257 ? "1" : edited.line(i));
  EXPECT_EQ(loadTemplateTables(oneEdit, loaded), TemplateLoad::ChecksumMismatch);
  EXPECT_EQ(loaded.DeviceImage[1], 1);  // the tables hold the file's values
}

TEST(TemplateLoad, ATableLineThatIsNoByteIsMalformedAndNamed) {
  ConfigImage image;
  image.AndMask.fill(0xFF);  // keep the user's byte through the merge
  image.DeviceImage[5] = 44;
  const LineList lines = BuildFile(image, 1, "", "");
  const auto withLine = [&](int index, const char* text) {
    LineList edited;
    for (int i = 0; i < lines.count(); ++i) edited.append(i == index ? text : lines.line(i));
    return edited;
  };
  // 300 once wrapped to 44 and kept the checksum valid; -1 wrapped to 255.
  for (const char* text : {"300", "256", "-1", "$1FF"}) {
    ConfigImage loaded;
    int badLine = -1;
    EXPECT_EQ(loadTemplateTables(withLine(256 + 5, text), loaded, &badLine), TemplateLoad::Malformed) << text;
    EXPECT_EQ(badLine, 256 + 5) << text;
  }
  // The other spellings of a byte still read as that byte.
  for (const char* text : {"+44", "$2C", "0x2C", " 44"}) {
    ConfigImage loaded;
    EXPECT_EQ(loadTemplateTables(withLine(256 + 5, text), loaded), TemplateLoad::Valid) << text;
    EXPECT_EQ(loaded.DeviceImage[5], 44) << text;
  }
  ConfigImage loaded;
  int badLine = -1;
  EXPECT_EQ(loadTemplateTables(withLine(1025, "x"), loaded, &badLine), TemplateLoad::Malformed);
  EXPECT_EQ(badLine, 1025);
}

TEST(TemplateLoad, MalformedStopsAtTheFailingLine) {
  ConfigImage image = sampleImage();
  const LineList good = BuildFile(image, 1, "", "");
  LineList broken;
  for (int i = 0; i < good.count(); ++i) broken.append(i == 300 ? "12 " : good.line(i));
  ConfigImage loaded;
  loaded.presetForStartup();
  EXPECT_EQ(loadTemplateTables(broken, loaded), TemplateLoad::Malformed);
  EXPECT_EQ(loaded.FactoryImage, image.FactoryImage);
  for (int i = 0; i < 44; ++i) EXPECT_EQ(loaded.DeviceImage[i], image.DeviceImage[i]);
  for (int i = 44; i < kImageSize; ++i) EXPECT_EQ(loaded.DeviceImage[i], 0x01);
  EXPECT_EQ(loaded.AndMask[0], 0x00);

  // Missing lines read empty and fail; a missing checksum line too.
  LineList truncated;
  for (int i = 0; i < 1025; ++i) truncated.append(good.line(i));
  EXPECT_EQ(loadTemplateTables(truncated, loaded), TemplateLoad::Malformed);
  EXPECT_EQ(loadTemplateTables(LineList{}, loaded), TemplateLoad::Malformed);
}

TEST(TemplateLoad, LinesAfterTheChecksumMayBeMissing) {
  ConfigImage image = sampleImage();
  const LineList good = BuildFile(image, 4, "", "");
  LineList cut;
  for (int i = 0; i < 1026; ++i) cut.append(good.line(i));
  ConfigImage loaded;
  EXPECT_EQ(loadTemplateTables(cut, loaded), TemplateLoad::Valid);
  EXPECT_EQ(scanPortEntry(cut, 1), 1);  // no port entry: the port stays
}

// 1200 filler lines with the given lines put in.
LineList portLines(std::initializer_list<std::pair<int, const char*>> put) {
  LineList lines;
  for (int i = 0; i < 1200; ++i) {
    const char* text = "x";
    for (const auto& [at, line] : put) {
      if (at == i) text = line;
    }
    lines.append(text);
  }
  return lines;
}

TEST(PortEntry, LastMarkerWinsAndABadEntryEndsTheScan) {
  EXPECT_EQ(scanPortEntry(portLines({}), 1), 1);
  EXPECT_EQ(scanPortEntry(portLines({{1000, "[+][01]"}, {1002, "3"}}), 1), 3);
  // Any value is taken, even one the menu does not offer; the last marker wins.
  EXPECT_EQ(scanPortEntry(portLines({{1000, "[+][01]"}, {1002, "3"}, {1050, "[+][01]"}, {1052, "7"}}), 1), 7);
  EXPECT_EQ(scanPortEntry(portLines({{1000, "[+][01]"}, {1002, "3"}, {1100, "[+][01]"}, {1102, "65538"}}), 1), 2)
      << "low 16 bits";
  // An unparsable entry ends the scan: the later marker is never reached.
  EXPECT_EQ(scanPortEntry(portLines({{1000, "[+][01]"}, {1002, "3"}, {1010, "[+][01]"}, {1012, "two"},
                                     {1020, "[+][01]"}, {1022, "5"}}),
                          1),
            3);
  // Markers match whole lines only.
  EXPECT_EQ(scanPortEntry(portLines({{1000, "[+][01]"}, {1002, "3"}, {1050, "[+][01] "}, {1052, "7"}}), 1), 3);
}

TEST(PortEntry, OnlyMarkersOnLines1000To1100Count) {
  EXPECT_EQ(scanPortEntry(portLines({{999, "[+][01]"}, {1001, "9"}}), 1), 1);
  EXPECT_EQ(scanPortEntry(portLines({{1101, "[+][01]"}, {1103, "4"}}), 1), 1);
  EXPECT_EQ(scanPortEntry(portLines({{1000, "[+][01]"}, {1002, "4"}}), 1), 4);
  EXPECT_EQ(scanPortEntry(portLines({{1100, "[+][01]"}, {1102, "4"}}), 1), 4);
}

TEST(ConfigFile, DeviceImageIsAllOrNothing) {
  ConfigImage image = sampleImage();
  const LineList good = BuildFile(image, 1, "", "");
  const auto parsed = parseDeviceImage(good);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, image.DeviceImage);

  LineList short511;
  for (int i = 0; i < 511; ++i) short511.append(good.line(i));
  EXPECT_FALSE(parseDeviceImage(short511).has_value());

  LineList crOnly = linesOf([&] {
    std::string t;
    for (int i = 0; i < good.count(); ++i) t += good.line(i) + "\r";
    return t;
  }());
  EXPECT_EQ(parseDeviceImage(crOnly), image.DeviceImage);
}

}  // namespace
}  // namespace lk24
