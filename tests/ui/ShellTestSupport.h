#pragma once
// Shared ground of the window tests: a temporary current directory, counted
// beeps, template files built from a known image, and the message log read
// back line by line with the colour of every character.

#include "model/ConfigImage.h"
#include "model/LineList.h"
#include "model/TemplateFormat.h"
#include "ui/SystemBeep.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace lk24::test {

// Every test runs in a fresh, empty current directory with beeps counted.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    QApplication::setQuitOnLastWindowClosed(false);
    SetSystemBeepHandler([this] { ++beeps_; });
  }
  void TearDown() override {
    SetSystemBeepHandler({});
    QDir::setCurrent(previous_);
  }

  QTemporaryDir dir_;
  QString previous_;
  int beeps_ = 0;
};

// An image with user bits, protected bits and factory values at every
// address, so merges and checksums have something to do.
inline ConfigImage sampleImage() {
  ConfigImage image;
  for (int i = 0; i < kImageSize; ++i) {
    image.FactoryImage[i] = static_cast<std::uint8_t>(i * 7 + 3);
    image.DeviceImage[i] = static_cast<std::uint8_t>(255 - i);
    image.AndMask[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 0xFF : 0x0F);
    image.OrMask[i] = static_cast<std::uint8_t>(i % 5 == 0 ? 0x00 : 0xF0);
  }
  return image;
}

inline LineList templateLines(ConfigImage image, int port) {
  return BuildFile(image, port, kUnknownText, kUnknownText);
}

inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline void writeTemplate(const LineList& lines) { writeFile(kTemplateFileName, lines.text()); }

inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool templateExists() { return QFileInfo::exists(QString::fromLatin1(kTemplateFileName)); }

inline LineList withLine(LineList lines, int index, const std::string& text) {
  LineList changed;
  for (int i = 0; i < lines.count(); ++i) changed.append(i == index ? text : lines.line(i));
  return changed;
}

inline LineList firstLines(const LineList& lines, int count) {
  LineList cut;
  for (int i = 0; i < count && i < lines.count(); ++i) cut.append(lines.line(i));
  return cut;
}

// One line of the log with the distinct colours of its characters.
struct LogLine {
  QString text;
  std::set<QRgb> colours;
};

inline std::vector<LogLine> logLines(const QTextEdit* edit) {
  std::vector<LogLine> lines;
  for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
    LogLine line{block.text(), {}};
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.isValid() && !fragment.text().isEmpty()) {
        line.colours.insert(fragment.charFormat().foreground().color().rgb());
      }
    }
    lines.push_back(line);
  }
  return lines;
}

inline QStringList logTexts(const QTextEdit* edit) {
  QStringList texts;
  for (const LogLine& line : logLines(edit)) texts << line.text;
  return texts;
}

}  // namespace lk24::test
