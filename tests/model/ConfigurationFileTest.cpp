#include "model/ConfigurationFile.h"

#include "model/TemplateFormat.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace lk24 {
namespace {

class ConfigurationFileRead : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
  void write(const char* name, const std::string& data) const {
    std::ofstream(path(name), std::ios::binary) << data;
  }
  static std::string fileText(std::uint8_t fill, int port, int replaceLine = -1,
                              const std::string& replacement = {}) {
    ConfigImage image;
    image.AndMask.fill(0xFF);
    image.DeviceImage.fill(fill);
    LineList built = BuildFile(image, port, " ??? ", " ??? ");
    LineList out;
    for (int i = 0; i < built.count(); ++i) out.append(i == replaceLine ? replacement : built.line(i));
    return out.text();
  }
};

TEST_F(ConfigurationFileRead, TakesTheImageAndThePortEntry) {
  write("a.lk2", fileText(0x42, 3));
  const auto load = readConfigurationFile(path("a.lk2"));
  ASSERT_TRUE(load.ok);
  EXPECT_EQ(load.deviceImage[0], 0x42);
  EXPECT_EQ(load.deviceImage[255], 0x42);
  EXPECT_EQ(load.port, 3);
}

TEST_F(ConfigurationFileRead, IgnoresChecksumAndTemplateTables) {
  write("a.lk2", fileText(0x42, 2, 1024, "12345"));
  auto load = readConfigurationFile(path("a.lk2"));
  ASSERT_TRUE(load.ok);
  EXPECT_EQ(load.port, 2);
  write("b.lk2", fileText(0x42, 2, 10, "junk"));  // a factory line: not read
  load = readConfigurationFile(path("b.lk2"));
  EXPECT_TRUE(load.ok);
}

TEST_F(ConfigurationFileRead, WithoutAPortEntryThePortIsOne) {
  write("a.lk2", fileText(0x42, 4, 1027, "[+][02]"));
  const auto load = readConfigurationFile(path("a.lk2"));
  ASSERT_TRUE(load.ok);
  EXPECT_EQ(load.port, 1);
}

TEST_F(ConfigurationFileRead, EveryBadFileFailsWhole) {
  write("badline.lk2", fileText(0x42, 2, 300, "zwölf"));
  write("beyond32.lk2", fileText(0x42, 2, 400, "4294967296"));
  std::string short511;
  {
    const std::string full = fileText(0x42, 2);
    std::size_t pos = 0;
    for (int i = 0; i < 511; ++i) pos = full.find("\r\n", pos) + 2;
    short511 = full.substr(0, pos);
  }
  write("short.lk2", short511);
  write("empty.lk2", "");
  write("binary.lk2", std::string("\x7f" "ELF\0\0\x01\x02\xff\xfe", 10));
  for (const char* name : {"badline.lk2", "beyond32.lk2", "short.lk2", "empty.lk2", "binary.lk2", "none.lk2"}) {
    EXPECT_FALSE(readConfigurationFile(path(name)).ok) << name;
  }
  EXPECT_FALSE(readConfigurationFile(dir_.path().toStdString()).ok);
}

TEST_F(ConfigurationFileRead, AValueThatIsNoByteRefusesTheFileAndNamesItsLine) {
  for (const char* text : {"256", "300", "-1"}) {
    write("wide.lk2", fileText(0x42, 2, 256 + 44, text));
    const auto load = readConfigurationFile(path("wide.lk2"));
    EXPECT_FALSE(load.ok) << text;
    EXPECT_EQ(load.badLine, 256 + 44) << text;
  }
  write("good.lk2", fileText(0x42, 2, 256 + 44, "255"));
  EXPECT_TRUE(readConfigurationFile(path("good.lk2")).ok);
}

}  // namespace
}  // namespace lk24
