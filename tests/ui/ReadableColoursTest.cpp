// Every text of the window stands on a ground of its own colours, whatever
// palette the desktop gives the program: the window is drawn offscreen under
// a light and a dark application palette, and the contrast of each text with
// its ground is measured in the drawn pixels.

#include "ShellTestSupport.h"

#include "editor/PageLayout.h"
#include "ui/MessageLog.h"
#include "ui/ULK24.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <map>

namespace lk24::test {
namespace {

double luminance(QRgb rgb) {
  auto channel = [](int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The ground is the commonest colour of the area; the text is the pixel
// that stands out most from it (the middle of a stroke, not its blurred edge).
double textContrast(const QImage& area) {
  std::map<QRgb, int> counts;
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) ++counts[area.pixel(x, y) | 0xFF000000u];
  }
  if (counts.empty()) return 1.0;
  const QRgb ground = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                        return a.second < b.second;
                      })->first;
  double best = 1.0;
  for (const auto& entry : counts) best = std::max(best, contrast(entry.first, ground));
  return best;
}

QImage drawn(QWidget* widget, QRect area = {}) {
  return widget->grab(area.isNull() ? widget->rect() : area).toImage().convertToFormat(QImage::Format_RGB32);
}

// A one-line field without its frame.
QImage fieldText(QLineEdit* field) { return drawn(field, field->rect().adjusted(4, 4, -4, -4)); }

QImage logLine(QTextEdit* log, const QString& text) {
  for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
    if (block.text() != text) continue;
    const QRect line = log->cursorRect(QTextCursor(block));
    return drawn(log->viewport(), QRect(0, line.top(), log->viewport()->width(), line.height()));
  }
  ADD_FAILURE() << "no log line " << text.toStdString();
  return {};
}

// Roughly qt6ct's "darker" scheme: light text on dark grey.
QPalette darkPalette() {
  QPalette dark(QColor(66, 66, 66), QColor(53, 53, 53));
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const QColor text = group == QPalette::Disabled ? QColor(128, 128, 128) : QColor(Qt::white);
    dark.setColor(group, QPalette::WindowText, text);
    dark.setColor(group, QPalette::Text, text);
    dark.setColor(group, QPalette::ButtonText, text);
    dark.setColor(group, QPalette::Base, QColor(42, 42, 42));
    dark.setColor(group, QPalette::Highlight, QColor(42, 130, 218));
  }
  return dark;
}

QString fromTable(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

class DesktopPaletteTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    light_ = QApplication::palette();
  }
  void TearDown() override {
    QApplication::setPalette(light_);
    ShellTest::TearDown();
  }
  QPalette light_;
};

// The parameter: whether the desktop is dark.
class ReadableColoursTest : public DesktopPaletteTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadableColoursTest, EveryTextStandsOutFromItsGround) {
  if (GetParam()) QApplication::setPalette(darkPalette());
  writeTemplate(templateLines(sampleImage(), 1));
  TForm1 form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.inittimerTimer();
  form.showinfo(nullptr, QStringLiteral("schwarze Zeile"), clBlack, entry::kSuccess);
  form.showinfo(nullptr, QStringLiteral("rote Zeile"), clRed, entry::kError);

  std::vector<std::pair<std::string, QImage>> texts{
      {"Softwareversion", drawn(form.Label153)},
      {"read-only firmware", fieldText(form.findChild<QLineEdit*>(QStringLiteral("LTFirm")))},
      {"read-only serial number", fieldText(form.findChild<QLineEdit*>(QStringLiteral("LRSernum")))},
      {"black log line", logLine(form.MInfo, QStringLiteral("schwarze Zeile"))},
      {"red log line", logLine(form.MInfo, QStringLiteral("rote Zeile"))},
      {"red battery estimate", fieldText(form.findChild<QLineEdit*>(QStringLiteral("Tage")))},
  };
  // Each page's tab, chosen or not, and a caption of each page, or the
  // cover that hides it.
  for (const PageRow& row : pages()) {
    auto* page = form.findChild<QWidget*>(fromTable(row.name));
    ASSERT_NE(page, nullptr) << row.name;
    auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
    QTabBar* bar = tabs->tabBar();
    texts.emplace_back(std::string(row.name) + " tab",
                       drawn(bar, bar->tabRect(tabs->indexOf(page)).adjusted(3, 3, -3, -3)));
    tabs->setCurrentWidget(page);
    QLabel* caption = row.cover.empty() ? nullptr : form.findChild<QLabel*>(fromTable(row.cover));
    for (QLabel* label : page->findChildren<QLabel*>()) {
      if (caption == nullptr && label->isVisibleTo(page) && !label->text().trimmed().isEmpty()) caption = label;
    }
    ASSERT_NE(caption, nullptr) << row.name;
    texts.emplace_back(std::string(row.name) + " \"" + caption->text().toStdString() + "\"", drawn(caption));
  }
  for (const auto& [what, image] : texts) EXPECT_GE(textContrast(image), 4.5) << what;
}

INSTANTIATE_TEST_SUITE_P(LightAndDarkDesktops, ReadableColoursTest, ::testing::Bool());

// Not a patchwork either: nothing of the window takes the desktop's colours,
// at start or when the desktop changes them.
TEST_F(DesktopPaletteTest, TheWindowLooksTheSameUnderEveryDesktopPalette) {
  writeTemplate(templateLines(sampleImage(), 1));
  auto started = [](TForm1& form) {
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.inittimerTimer();
  };
  TForm1 lightForm;
  started(lightForm);
  const QImage light = drawn(&lightForm);
  QApplication::setPalette(darkPalette());
  EXPECT_TRUE(drawn(&lightForm) == light) << "after the desktop turned dark";
  lightForm.close();
  TForm1 darkForm;
  started(darkForm);
  EXPECT_TRUE(drawn(&darkForm) == light) << "started on a dark desktop";
}

}  // namespace
}  // namespace lk24::test
