#include "editor/SettingsInWords.h"

#include "editor/FieldMap.h"
#include "editor/PageLayout.h"
#include "editor/SwitchMap.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <tuple>

namespace lk24 {

namespace {

// One setting as the window lays it out, with the bits it shows.
struct Setting {
  std::string page;
  std::string caption;
  std::string unit;
  std::string addresses;
  std::map<int, std::uint8_t> bits;  // byte -> mask of the bits it shows
  std::function<std::string(const Table&)> value;
  std::string_view container;        // for the section heading of an ambiguous caption
  int y = 0;                         // within the container
  std::tuple<int, int, int> order;   // page, top edge in the page, left edge
  std::vector<std::string_view> controls;  // the controls that show it
};

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// A two-line caption read as one line: "Entfernungs-\nalarm:" is one word,
// "Normal-\nPause:" keeps its hyphen.
std::string joinLines(std::string_view text) {
  const auto lineEnd = text.find('\n');
  if (lineEnd == std::string_view::npos) return std::string(text);
  std::string first(text.substr(0, lineEnd));
  const std::string rest = joinLines(text.substr(lineEnd + 1));
  if (first.empty() || first.back() != '-') return first + " " + rest;
  if (!rest.empty() && rest.front() >= 'a' && rest.front() <= 'z') first.pop_back();
  return first + rest;
}

const PanelRow* findPanel(std::string_view name) {
  for (const PanelRow& panel : panels()) {
    if (panel.name == name) return &panel;
  }
  return nullptr;
}

// The page a control sits on, and its top edge there.
std::pair<std::string_view, int> placeInPage(std::string_view container, int y) {
  for (const PanelRow* panel = findPanel(container); panel; panel = findPanel(container)) {
    y += panel->y;
    container = panel->container;
  }
  return {container, y};
}

int pageIndex(std::string_view page) {
  const auto all = pages();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].name == page) return static_cast<int>(i);
  }
  return -1;
}

std::string_view halfOfPage(std::string_view page) {
  for (const PageRow& row : pages()) {
    if (row.name != page) continue;
    for (const PageControlRow& control : pageControls()) {
      if (control.name == row.pageControl) return control.half;
    }
  }
  return {};
}

std::string halfTitle(std::string_view half) {
  for (const PageControlRow& control : pageControls()) {
    if (control.half == half) return std::string(control.title);
  }
  return {};
}

std::string pageTitle(std::string_view page) {
  const int index = pageIndex(page);
  return halfTitle(halfOfPage(page)) + " / " + trimmed(pages()[index].caption);
}

// A fixed caption of the container on the row at y.
std::string rowCaption(std::string_view container, int y) {
  for (const CaptionRow& caption : captions()) {
    if (caption.role != CaptionRole::Derived && caption.container == container && caption.y == y) {
      return joinLines(caption.text);
    }
  }
  return {};
}

// A caption in words is followed by its value, so a caption the window
// shows with a doubled colon ("LowPause::") reads with one.
std::string withSingleColons(std::string caption) {
  for (auto at = caption.find("::"); at != std::string::npos; at = caption.find("::", at)) caption.erase(at, 1);
  return caption;
}

std::string addressText(int address, int bytes) {
  return bytes == 1 ? std::to_string(address) : std::to_string(address) + "-" + std::to_string(address + bytes - 1);
}

// ---- fields ----

std::vector<const FieldRow*> rowOf(const FieldRow& field) {
  std::vector<const FieldRow*> row;
  for (const FieldRow& other : allFields()) {
    if (other.address >= 0 && other.container == field.container && other.y == field.y) row.push_back(&other);
  }
  std::sort(row.begin(), row.end(), [](const FieldRow* l, const FieldRow* r) { return l->x < r->x; });
  return row;
}

// A row of two fields under one caption: the column captions above them
// ("an:", "aus:"), a range ("...."), or a pause with its random part
// ("us   + arbit") tell the two apart.
std::string pairWord(const std::vector<const FieldRow*>& row, std::size_t index) {
  const FieldRow& first = *row.front();
  const CaptionRow* columns = nullptr;
  for (const CaptionRow& caption : captions()) {
    if (caption.container != first.container || caption.y >= first.y || std::abs(caption.x - first.x) > 10) continue;
    if (!columns || caption.y > columns->y) columns = &caption;
  }
  if (columns) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : std::string(columns->text) + " ") {
      if (c != ' ' && c != ':') {
        word += c;
      } else if (!word.empty()) {
        words.push_back(word);
        word.clear();
      }
    }
    if (words.size() == row.size()) return words[index];
  }
  if (first.captionAfter == "....") return index == 0 ? "min" : "max";
  const auto plus = first.captionAfter.find('+');
  if (plus != std::string_view::npos && index > 0) return trimmed(first.captionAfter.substr(plus));
  return {};
}

// A table of numbered bytes (rows close together) carries one caption
// beside it: "Nah-RSSI:" for the near values 1 to 10.
std::string tableCaption(const FieldRow& field) {
  const auto fields = allFields();
  const auto at = std::find_if(fields.begin(), fields.end(), [&](const FieldRow& f) { return &f == &field; });
  auto inBlock = [&](const FieldRow& a, const FieldRow& b) {
    return a.kind == FieldKind::TableByte && a.container == b.container && std::abs(a.y - b.y) <= 26;
  };
  auto first = at;
  while (first != fields.begin() && inBlock(*(first - 1), *first)) --first;
  auto last = at;
  while (last + 1 != fields.end() && inBlock(*(last + 1), *last)) ++last;
  const CaptionRow* beside = nullptr;
  for (const CaptionRow& caption : captions()) {
    if (caption.role == CaptionRole::Derived || caption.container != field.container || caption.x >= field.captionX ||
        caption.y < first->y || caption.y > last->y) {
      continue;
    }
    if (!beside || caption.y < beside->y) beside = &caption;
  }
  const std::string number = joinLines(field.captionBefore);
  return beside ? joinLines(beside->text) + " " + number : number;
}

std::string fieldCaption(const FieldRow& field) {
  if (field.kind == FieldKind::TableByte) return tableCaption(field);
  const std::vector<const FieldRow*> row = rowOf(field);
  const bool pair = row.size() == 2 && row.back()->captionBefore.empty();
  if (!pair) {
    if (!field.captionBefore.empty()) return joinLines(field.captionBefore);
    // A field alone on a switch's row takes the switch's words ("Festschwelle").
    for (const SwitchRow& sw : switchMap()) {
      if (sw.container != field.container) continue;
      if (sw.y == field.y) return std::string(sw.controlText);
      if (sw.clearY == field.y) return std::string(sw.clearText);
    }
    return std::string(field.control);
  }
  const std::size_t index = static_cast<std::size_t>(std::find(row.begin(), row.end(), &field) - row.begin());
  const std::string word = pairWord(row, index);
  const std::string base = joinLines(row.front()->captionBefore);
  return word.empty() ? base : base + " " + word;
}

std::string fieldUnit(const FieldRow& field) {
  std::string_view after = field.captionAfter;
  if (after == "....") after = rowOf(field).back()->captionAfter;  // "min .... max us"
  return trimmed(after.substr(0, after.find('+')));
}

Setting fieldSetting(const FieldRow& field) {
  const auto [page, top] = placeInPage(field.container, field.y);
  const int bytes = field.kind == FieldKind::Word ? 2 : 1;
  Setting setting{pageTitle(page), fieldCaption(field), fieldUnit(field), addressText(field.address, bytes), {},
                  [&field](const Table& image) { return trimmed(fieldText(field, image)); }, field.container,
                  field.y, {pageIndex(page), top, field.x}, {field.control}};
  for (int b = 0; b < bytes; ++b) setting.bits[field.address + b] = 0xFF;
  return setting;
}

// ---- switches ----

std::string switchCaption(const SwitchRow& row) {
  if (!row.controlText.empty() && row.kind == SwitchKind::CheckBox) return std::string(row.controlText);
  if (std::string caption = rowCaption(row.container, row.y); !caption.empty()) return caption;
  if (row.kind == SwitchKind::RadioPair) {
    // The panel's heading, else the two choices themselves.
    if (std::string heading = rowCaption(row.container, 0); !heading.empty()) return heading;
    return std::string(row.controlText) + " / " + std::string(row.clearText);
  }
  return std::string(row.control);
}

std::string switchValue(const SwitchRow& row, const Table& image) {
  const bool bit = switchBit(row, image);
  if (row.kind == SwitchKind::RadioPair) return std::string(bit ? row.controlText : row.clearText);
  if (!row.statusLabel.empty()) return std::string(statusText(row, bit));
  return checkedForBit(row, bit) ? "ja" : "nein";
}

Setting switchSetting(const SwitchRow& row) {
  const auto [page, top] = placeInPage(row.container, row.y);
  Setting setting{pageTitle(page), switchCaption(row), {},
                  std::to_string(row.byte) + " Bit " + std::to_string(row.bit), {},
                  [&row](const Table& image) { return switchValue(row, image); }, row.container, row.y,
                  {pageIndex(page), top, row.x}, {row.control, row.clearControl}};
  setting.bits[row.byte] = static_cast<std::uint8_t>(1u << row.bit);
  return setting;
}

// ---- the halves ----

// Where a caption occurs twice on a page: the heading above it in its
// container, or the caption of the switch that shows its panel.
std::string sectionOf(const Setting& setting, const std::vector<Setting>& all) {
  const CaptionRow* heading = nullptr;
  for (const CaptionRow& caption : captions()) {
    if (caption.role != CaptionRole::Heading || caption.container != setting.container || caption.y >= setting.y) {
      continue;
    }
    if (!heading || caption.y > heading->y) heading = &caption;
  }
  if (heading) return joinLines(heading->text);
  for (const SwitchRow& row : switchMap()) {
    const auto& shown = row.visibleWhileSet;
    if (std::find(shown.begin(), shown.end(), setting.container) == shown.end()) continue;
    for (const Setting& other : all) {
      if (other.bits.count(row.byte) && other.bits.at(row.byte) == (1u << row.bit)) return other.caption;
    }
  }
  return {};
}

void makeCaptionsUnique(std::vector<Setting>& settings) {
  std::map<std::pair<std::string, std::string>, int> count;
  for (const Setting& s : settings) ++count[{s.page, s.caption}];
  std::vector<std::string> sections;
  for (const Setting& s : settings) {
    sections.push_back(count[{s.page, s.caption}] > 1 ? sectionOf(s, settings) : std::string());
  }
  for (std::size_t i = 0; i < settings.size(); ++i) {
    if (!sections[i].empty()) settings[i].caption = sections[i] + " " + settings[i].caption;
  }
}

std::vector<Setting> buildHalf(std::string_view half) {
  std::vector<Setting> settings;
  for (const FieldRow& field : allFields()) {
    if (field.address >= 0 && halfOfPage(placeInPage(field.container, 0).first) == half) {
      settings.push_back(fieldSetting(field));
    }
  }
  for (const SwitchRow& row : switchMap()) {
    if (halfOfPage(placeInPage(row.container, 0).first) == half) settings.push_back(switchSetting(row));
  }
  std::stable_sort(settings.begin(), settings.end(),
                   [](const Setting& l, const Setting& r) { return l.order < r.order; });
  makeCaptionsUnique(settings);
  // The half's firmware display heads it.
  for (const IdentityRow& display : identityDisplays()) {
    if (display.container != half || display.kind != IdentityKind::Firmware) continue;
    Setting firmware{halfTitle(half), trimmed(display.caption), {}, addressText(display.address, 2), {},
                     [&display](const Table& image) { return trimmed(identityText(display, image)); },
                     display.container, display.y, {}, {display.control}};
    firmware.bits = {{display.address, 0xFF}, {display.address + 1, 0xFF}};
    settings.insert(settings.begin(), firmware);
  }
  for (Setting& s : settings) s.caption = withSingleColons(s.caption);
  return settings;
}

const std::vector<Setting>& settingsOf(SettingsHalves halves) {
  static const std::vector<Setting> transmitter = buildHalf("PSender");
  static const std::vector<Setting> receiver = buildHalf("Pempfang");
  static const std::vector<Setting> both = [] {
    std::vector<Setting> joined = transmitter;
    joined.insert(joined.end(), receiver.begin(), receiver.end());
    return joined;
  }();
  switch (halves) {
    case SettingsHalves::Transmitter: return transmitter;
    case SettingsHalves::Receiver: return receiver;
    case SettingsHalves::Both: break;
  }
  return both;
}

}  // namespace

std::vector<SettingText> describeSettings(const Table& image, SettingsHalves halves) {
  std::vector<SettingText> texts;
  for (const Setting& s : settingsOf(halves)) texts.push_back({s.page, s.caption, s.value(image), s.unit, s.addresses});
  return texts;
}

ControlSetting settingOfControl(std::string_view control) {
  if (control.empty()) return {};
  for (const Setting& s : settingsOf(SettingsHalves::Both)) {
    if (std::find(s.controls.begin(), s.controls.end(), control) != s.controls.end()) return {s.page, s.caption};
  }
  return {};
}

std::vector<SettingDifference> compareSettings(const Table& a, const Table& b, SettingsHalves halves,
                                               int lastAddress) {
  std::vector<SettingDifference> differences;
  Table shown{};
  for (const Setting& s : settingsOf(halves)) {
    bool differs = false;
    for (const auto& [address, mask] : s.bits) {
      if (address > lastAddress) continue;
      shown[address] |= mask;
      differs = differs || ((a[address] ^ b[address]) & mask) != 0;
    }
    if (differs) differences.push_back({s.page, s.caption, s.addresses, s.value(a), s.value(b)});
  }
  for (int address = 0; address <= lastAddress; ++address) {
    if (((a[address] ^ b[address]) & ~shown[address]) == 0) continue;
    differences.push_back({{}, "Byte " + std::to_string(address), std::to_string(address),
                           std::to_string(a[address]), std::to_string(b[address])});
  }
  return differences;
}

}  // namespace lk24
