#pragma once
// The option bits of the image and the check boxes and radio buttons that
// show them, with their status texts and the panels that depend on them.

#include "model/ConfigImage.h"

#include <array>
#include <span>
#include <string_view>

namespace lk24 {

enum class SwitchKind {
  CheckBox,   // one box; checked means the bit is set unless checkedMeansSet is false
  RadioPair,  // two buttons; control is chosen while the bit is set, clearControl while clear
};

struct SwitchRow {
  int byte;
  int bit;
  SwitchKind kind;
  std::string_view container;     // page or panel that holds the controls
  std::string_view control;       // the check box, or the button chosen while the bit is set
  std::string_view controlText;
  std::string_view hint;          // empty: the enclosing panel's hint applies
  int x, y;
  std::string_view clearControl;  // radio pairs: the button chosen while the bit is clear
  std::string_view clearText;
  std::string_view clearHint;
  int clearX, clearY;
  bool checkedMeansSet;           // false for the write permission: checked clears the protection bit
  std::string_view statusLabel;   // text beside the control, rewritten by the refresh
  std::string_view textSet;
  std::string_view textClear;
  int statusX, statusY;
  bool statusClickable;           // a click on the status text toggles the box
  std::array<std::string_view, 3> visibleWhileSet;   // panels shown only while the bit is set
  std::array<std::string_view, 2> enabledWhileClear;  // controls usable only while the bit is clear
  bool refreshesAfterClick;       // false: the click changes the bit and nothing else
};

std::span<const SwitchRow> switchMap();
// The row whose control (or clear control) has this name.
const SwitchRow* findSwitch(std::string_view control);

bool switchBit(const SwitchRow& row, const Table& image);
// Changes exactly the row's bit.
void setSwitchBit(const SwitchRow& row, bool set, Table& image);

// Check boxes: whether the box shows checked for the bit's state.
bool checkedForBit(const SwitchRow& row, bool bitSet);
// The bit a check box's new checked state stands for.
bool bitForChecked(const SwitchRow& row, bool checked);

std::string_view statusText(const SwitchRow& row, bool bitSet);

}  // namespace lk24
