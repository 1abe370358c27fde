// The refresh as a whole, the identity displays, the covers over the factory
// pages, the placeholders, tooltips and the layout of the pages.
#include "SettingsTestFixture.h"

#include "editor/DerivedTexts.h"
#include "editor/FieldMap.h"
#include "editor/NumberCodecs.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"
#include "tools/devsim/DeviceSimulator.h"

#include <QAbstractButton>
#include <QFontMetrics>

#include <algorithm>

#include <random>
#include <vector>

namespace lk24 {
namespace {

using testing::SettingsWindow;

// Everything a refresh can change on screen, in one comparable list.
std::vector<QString> screenState(SettingsWindow& w) {
  std::vector<QString> state;
  for (QWidget* child : w.window.findChildren<QWidget*>()) {
    QString entry = child->objectName() + (child->isHidden() ? " hidden" : "") + (child->isEnabled() ? "" : " off");
    if (auto* edit = qobject_cast<QLineEdit*>(child)) entry += " text=" + edit->text();
    if (auto* label = qobject_cast<QLabel*>(child)) entry += " text=" + label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(child)) entry += button->isChecked() ? " on" : " off";
    state.push_back(entry);
  }
  return state;
}

std::vector<Table> sampleImages() {
  std::vector<Table> images;
  images.push_back(devsim::defaultImage(devsim::DeviceType::Transmitter));
  images.push_back(devsim::defaultImage(devsim::DeviceType::Receiver));
  Table zeros{};
  images.push_back(zeros);
  Table ones{};
  ones.fill(0xFF);
  images.push_back(ones);
  std::mt19937 random(24);
  for (int i = 0; i < 8; ++i) {
    Table image{};
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    images.push_back(image);
  }
  return images;
}

TEST(SettingsRefresh, ASecondRefreshChangesNothing) {
  for (const Table& sample : sampleImages()) {
    for (bool detected : {false, true}) {
      SettingsWindow w;
      w.transmitterDetected = w.receiverDetected = detected;
      w.image.DeviceImage = sample;
      w.refresh();
      const Table once = w.image.DeviceImage;
      const std::vector<QString> shown = screenState(w);
      const int beeps = w.beeps;
      EXPECT_LE(beeps, 1);
      w.refresh();
      EXPECT_EQ(w.image.DeviceImage, once);
      EXPECT_EQ(screenState(w), shown);
      EXPECT_EQ(w.beeps, beeps);
      EXPECT_EQ(w.showdataRuns, 0) << "a refresh never runs a handler";
    }
  }
}

TEST(SettingsRefresh, ImageCorrectionsReachTheWindow) {
  SettingsWindow w;
  Table& image = w.image.DeviceImage;
  image.fill(0);
  image[233] = 0x05;  // 868,30 MHz and derived pauses
  image[89] = 3;
  image[235] = 0x2B;
  image[1] = 7;
  image[2] = 9;
  w.refresh();
  EXPECT_EQ(w.text("Meldeintervall"), "    5");
  EXPECT_EQ(w.beeps, 1);
  EXPECT_EQ(w.word(88), 5);
  EXPECT_EQ(w.text("T_arbit"), "   69");
  EXPECT_EQ(w.text("T_Narbit"), "  288");
  EXPECT_EQ(image[210], 1);
  EXPECT_EQ(image[211], 32);
  EXPECT_EQ(w.text("FestSchwelle"), "  1");
  EXPECT_EQ(w.text("R_TonPer"), "    1");
  EXPECT_EQ(w.text("Lfreq"), "(ca. 125000 Hz)");
  EXPECT_EQ(image[1], 1);
  EXPECT_EQ(image[2], 0);

  image[233] = 0x00;
  image[89] = 3;
  w.refresh();
  EXPECT_EQ(w.text("Meldeintervall"), "    3");
  EXPECT_EQ(w.beeps, 1);
}

// Every field shows the value at its address in its width and fill, every
// status text matches its bit, every hidden panel shows its placeholder.
void expectWindowShowsImage(SettingsWindow& w) {
  const Table& image = w.image.DeviceImage;
  for (const FieldRow& field : allFields()) {
    if (field.address < 0) continue;
    const bool shown = field.refresh == FieldRefresh::Always ||
                       (field.refresh == FieldRefresh::WhileTransmitterDetected && w.transmitterDetected) ||
                       (field.refresh == FieldRefresh::WhileReceiverDetected && w.receiverDetected);
    if (shown) {
      EXPECT_EQ(w.text(std::string(field.control)).toStdString(), fieldText(field, image)) << field.control;
    }
  }
  for (const SwitchRow& row : switchMap()) {
    const bool bit = switchBit(row, image);
    if (row.kind == SwitchKind::CheckBox) {
      EXPECT_EQ(w.find<QCheckBox>(std::string(row.control))->isChecked(), checkedForBit(row, bit)) << row.control;
    } else {
      EXPECT_TRUE(w.find<QRadioButton>(std::string(bit ? row.control : row.clearControl))->isChecked());
    }
    if (!row.statusLabel.empty()) {
      EXPECT_EQ(w.text(std::string(row.statusLabel)).toStdString(), statusText(row, bit)) << row.statusLabel;
    }
  }
  for (const PanelRow& panel : panels()) {
    if (panel.placeholder.empty()) continue;
    auto* live = w.find<QWidget>(std::string(panel.name));
    auto* copy = w.find<QWidget>(std::string(panel.placeholder));
    EXPECT_EQ(copy->geometry(), live->geometry()) << panel.placeholder;
    EXPECT_FALSE(copy->isHidden());
    EXPECT_FALSE(copy->isEnabled());
    // Beneath the live panel, so the copy shows only while the panel is hidden.
    const QObjectList& siblings = live->parentWidget()->children();
    EXPECT_LT(siblings.indexOf(copy), siblings.indexOf(live)) << panel.placeholder;
  }
}

TEST(SettingsRefresh, SimulatedReceiverAndTransmitter) {
  {
    SettingsWindow w;
    w.receiverDetected = true;
    w.image.DeviceImage = devsim::defaultImage(devsim::DeviceType::Receiver);
    w.refresh();
    expectWindowShowsImage(w);
    const Table& image = w.image.DeviceImage;
    EXPECT_EQ(w.text("LRSernum").toStdString(), serialText(image[176] * 256 + image[177]));
    EXPECT_EQ(w.text("R_SerNum"), w.text("LRSernum"));
    EXPECT_EQ(w.view->receiverFirmwareText(), firmwareText(image[254], image[255]));
    EXPECT_EQ(w.text("LTFirm"), " ??? ");
    EXPECT_EQ(w.text("LTSernum"), " ??? ");
  }
  {
    SettingsWindow w;
    w.transmitterDetected = true;
    w.image.DeviceImage = devsim::defaultImage(devsim::DeviceType::Transmitter);
    w.refresh();
    expectWindowShowsImage(w);
    const Table& image = w.image.DeviceImage;
    EXPECT_EQ(w.view->transmitterFirmwareText(), " 1.05");
    EXPECT_EQ(w.text("LTSernum").toStdString(), serialText(image[234] * 256 + image[235]));
    EXPECT_EQ(w.text("T_sernum"), w.text("LTSernum"));
    EXPECT_EQ(w.view->receiverFirmwareText(), " ??? ");
  }
  {
    SettingsWindow w;  // a mixed image with groups switched off
    w.image.DeviceImage.fill(0x11);
    w.refresh();
    expectWindowShowsImage(w);
  }
}

TEST(SettingsRefresh, IdentityFieldsFollowOnlyARecognisedDevice) {
  SettingsWindow w;
  Table& image = w.image.DeviceImage;
  image.fill(0);
  image[234] = 0;
  image[235] = 123;
  image[254] = 1;
  image[255] = 5;
  w.field("T_sernum")->setText("4711");
  w.field("R_SerNum")->setText("4712");
  w.refresh();
  EXPECT_EQ(w.text("LTFirm"), " ??? ");
  EXPECT_EQ(w.text("T_sernum"), "4711") << "kept while no transmitter is known";
  EXPECT_EQ(w.text("R_SerNum"), "4712");

  w.transmitterDetected = true;
  w.refresh();
  EXPECT_EQ(w.text("LTFirm"), " 1.05");
  EXPECT_EQ(w.text("LTSernum"), "00123");
  EXPECT_EQ(w.text("T_sernum"), "00123");
}

TEST(SettingsRefresh, RelayPanelFollowsTheReceiverFirmware) {
  SettingsWindow w;
  Table& image = w.image.DeviceImage;
  image.fill(0);
  auto* relay = w.find<QWidget>("PRelaiszustand");
  EXPECT_FALSE(relay->isHidden()) << "shown before any receiver is known";
  w.receiverDetected = true;
  image[254] = 1;
  image[255] = 0;
  w.refresh();
  EXPECT_TRUE(relay->isHidden());
  w.receiverDetected = false;
  image[255] = 1;
  w.refresh();
  EXPECT_TRUE(relay->isHidden()) << "keeps its visibility without a receiver";
  w.receiverDetected = true;
  w.refresh();
  EXPECT_FALSE(relay->isHidden());
  image[254] = 2;
  image[255] = 0;
  w.refresh();
  EXPECT_FALSE(relay->isHidden());
}

TEST(SettingsRefresh, FactoryPagesAreCoveredButStillRefreshed) {
  SettingsWindow w;
  w.view->showFactoryCovers();
  w.showActive();
  for (const PageRow& page : pages()) {
    if (page.cover.empty()) continue;
    auto* cover = w.find<QLabel>(std::string(page.cover));
    EXPECT_EQ(cover->text(), "- kein Zugriff -");
    EXPECT_FALSE(cover->isHidden());
  }
  // A click lands on whatever lies on top at that point of the window.
  auto clickAsUser = [&w](QWidget* target, QPoint at) {
    w.showPageOf(target);
    const QPoint inWindow = target->mapTo(&w.window, at);
    QWidget* top = w.window.childAt(inWindow);
    EXPECT_NE(top, target);
    EXPECT_TRUE(top->objectName() == "PTwerk" || top->objectName() == "PRwerk") << top->objectName().toStdString();
    QTest::mouseClick(top, Qt::LeftButton, {}, top->mapFrom(&w.window, inWindow));
  };
  QLineEdit* covered = w.field("T_Bitlaenge");
  w.clickOn(w.field("T_ID"));
  clickAsUser(covered, covered->rect().center());
  EXPECT_FALSE(covered->hasFocus()) << "the cover takes the click";
  auto* box = w.find<QCheckBox>("CBwriteallow");
  const bool checked = box->isChecked();
  clickAsUser(box, QPoint(6, box->height() / 2));
  EXPECT_EQ(box->isChecked(), checked);

  w.image.DeviceImage[181] = 0x01;
  w.image.DeviceImage[182] = 0x02;
  w.refresh();
  EXPECT_EQ(covered->text(), "  258");
}

TEST(SettingsRefresh, TooltipsAndTabCaptions) {
  SettingsWindow w;
  EXPECT_EQ(w.field("T_ID")->toolTip(), "weist dem Sender seine individuelle Identifikation zu (0..65535)");
  EXPECT_EQ(w.field("R_Bitmin")->toolTip(), QString::fromUtf8("Einstellungen für den Empfänger"));
  EXPECT_EQ(w.find<QRadioButton>("RBrelalaon")->toolTip(),
            QString::fromUtf8("gibt den Relais-Sollzustand im Alarmfall an (während der Betriebsbereitschaft ist "
                              "dieser Zustand dann invertiert) "));
  for (const FieldRow& field : allFields()) {
    EXPECT_FALSE(w.field(std::string(field.control))->toolTip().isEmpty()) << field.control;
  }
  for (const SwitchRow& row : switchMap()) {
    EXPECT_FALSE(w.find<QWidget>(std::string(row.control))->toolTip().isEmpty()) << row.control;
  }

  auto* transmitterTabs = w.find<QTabWidget>("PageControl1");
  EXPECT_EQ(transmitterTabs->geometry(), QRect(5, 104, 257, 473));
  EXPECT_EQ(transmitterTabs->tabText(0), "  Grundeinstellung  ");
  EXPECT_EQ(transmitterTabs->tabText(1), "Werkseinstellung");
  auto* receiverTabs = w.find<QTabWidget>("PageControl2");
  EXPECT_EQ(receiverTabs->geometry(), QRect(5, 104, 257, 473));
  EXPECT_EQ(receiverTabs->tabText(0), "Grundeinstellung");
  EXPECT_EQ(receiverTabs->tabText(1), "Erweitert");
  EXPECT_EQ(receiverTabs->tabText(2), "Werkseinst.");
}

// What a control puts on the page, in page coordinates: a caption its text
// (as wide and high as the font draws it), any other control its frame.
struct Drawn {
  QWidget* control;
  QRect rect;
  QString name() const {
    if (auto* label = qobject_cast<QLabel*>(control)) {
      return "\"" + QString(label->text()).replace(QLatin1Char('\n'), QLatin1Char('/')) + "\"";
    }
    return control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                           : control->objectName();
  }
};

// The controls a user sees on a page: visible, not under a cover, and not
// the greyed copy of a panel that is shown on top of it.
std::vector<Drawn> drawnOn(QWidget* page, std::string_view cover) {
  std::vector<QWidget*> hidden;
  for (const PanelRow& row : panels()) {
    auto* live = page->findChild<QWidget*>(QString::fromUtf8(row.name.data(), row.name.size()));
    auto* copy = row.placeholder.empty() ? nullptr
                                         : page->findChild<QWidget*>(QString::fromUtf8(row.placeholder.data(),
                                                                                        row.placeholder.size()));
    if (live && copy && live->isVisibleTo(page)) hidden.push_back(copy);
  }
  std::vector<Drawn> drawn;
  for (QWidget* child : page->findChildren<QWidget*>()) {
    if (!child->isVisibleTo(page) || (!cover.empty() && child->objectName().toStdString() == cover)) continue;
    if (std::any_of(hidden.begin(), hidden.end(), [child](QWidget* h) { return h->isAncestorOf(child); })) continue;
    const QRect frame(child->mapTo(page, QPoint(0, 0)), child->size());
    if (auto* label = qobject_cast<QLabel*>(child)) {
      if (label->text().isEmpty()) continue;
      const QRect text = QFontMetrics(label->font()).boundingRect(label->contentsRect(), int(label->alignment()),
                                                                  label->text());
      drawn.push_back({child, text.translated(frame.topLeft())});
    } else if (qobject_cast<QLineEdit*>(child) || qobject_cast<QAbstractButton*>(child)) {
      drawn.push_back({child, frame});
    }
  }
  return drawn;
}

// Every page with its optional panels shown and hidden (then the greyed
// copies stand in): each control lies inside its page, each caption is
// drawn whole inside its label, and nothing overlaps or touches anything
// else (2 pixels apart at least): fields, captions and switches alike.
TEST(SettingsRefresh, NothingOnAPageIsCutOverlappedOrTouching) {
  constexpr int kClearance = 2;
  for (const bool panelsShown : {true, false}) {
    SettingsWindow w;
    w.image.DeviceImage = devsim::defaultImage(devsim::DeviceType::Transmitter);
    w.image.DeviceImage[26] = panelsShown ? 0xFF : 0x00;
    w.image.DeviceImage[91] = panelsShown ? 0x03 : 0x00;
    w.refresh();
    w.window.show();
    for (const PageRow& row : pages()) {
      SCOPED_TRACE(std::string(row.name) + (panelsShown ? ", panels shown" : ", panels hidden"));
      auto* page = w.find<QWidget>(std::string(row.name));
      w.showPageOf(page);
      const QRect area = page->rect();
      ASSERT_GT(area.height(), 400);
      for (QWidget* child : page->findChildren<QWidget*>()) {
        const QRect onPage(child->mapTo(page, QPoint(0, 0)), child->size());
        EXPECT_TRUE(!child->isVisibleTo(page) || area.contains(onPage))
            << child->metaObject()->className() << " " << child->objectName().toStdString() << " leaves the page";
      }
      const std::vector<Drawn> drawn = drawnOn(page, row.cover);
      ASSERT_GT(drawn.size(), 10u);
      for (const Drawn& d : drawn) {
        EXPECT_TRUE(area.contains(d.rect)) << d.name().toStdString() << " leaves the page";
        if (auto* label = qobject_cast<QLabel*>(d.control)) {
          const QRect inside(label->mapTo(page, QPoint(0, 0)), label->size());
          EXPECT_TRUE(inside.contains(d.rect)) << d.name().toStdString() << " is cut by its label";
        }
      }
      for (std::size_t i = 0; i < drawn.size(); ++i) {
        for (std::size_t j = i + 1; j < drawn.size(); ++j) {
          const bool nested = drawn[i].control->isAncestorOf(drawn[j].control) ||
                              drawn[j].control->isAncestorOf(drawn[i].control);
          EXPECT_TRUE(nested || !drawn[i].rect.adjusted(-kClearance, -kClearance, kClearance, kClearance)
                                     .intersects(drawn[j].rect))
              << drawn[i].name().toStdString() << " and " << drawn[j].name().toStdString() << " touch";
        }
      }
    }
  }
}

TEST(SettingsRefresh, ReducedStateTakesNoInput) {
  SettingsWindow w;
  w.refresh();
  w.showActive();
  w.view->setInputEnabled(false);
  QLineEdit* id = w.field("T_ID");
  EXPECT_FALSE(id->isEnabled());
  w.clickOn(id);
  EXPECT_FALSE(id->hasFocus());
  w.view->setInputEnabled(true);
  EXPECT_TRUE(id->isEnabled());
  EXPECT_FALSE(w.field("PraePulsMin")->isEnabled()) << "displays stay disabled";
}

}  // namespace
}  // namespace lk24
