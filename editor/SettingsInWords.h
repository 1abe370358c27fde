#pragma once
// A configuration in words: every setting of the field and switch tables as
// (page, caption, value, unit, addresses), in the window's reading order, and
// the comparison of two images setting by setting. Captions are the window's
// own; a byte no setting shows is named "Byte N".

#include "model/ConfigImage.h"

#include <string>
#include <string_view>
#include <vector>

namespace lk24 {

// Which half of the window a configuration belongs to.
enum class SettingsHalves { Transmitter, Receiver, Both };

struct SettingText {
  std::string page;       // "EMPFÄNGER / Grundeinstellung"
  std::string caption;    // "Alarm nach:"
  std::string value;      // as the window shows it: "600", "ja", "868,30"
  std::string unit;       // "sec", or empty
  std::string addresses;  // "24-25", "90", "26 Bit 5"
};

std::vector<SettingText> describeSettings(const Table& image, SettingsHalves halves);

// The page and caption describeSettings gives the setting a field or switch
// control shows (both buttons of a radio pair share theirs); empty for a
// control that shows no setting of the image.
struct ControlSetting {
  std::string page;
  std::string caption;
};
ControlSetting settingOfControl(std::string_view control);

struct SettingDifference {
  std::string page;  // empty for a byte no setting shows
  std::string caption;
  std::string addresses;
  std::string a;
  std::string b;
};

// The settings of the halves whose bits differ between a and b, in the
// window's order, then the bytes up to lastAddress whose differing bits no
// setting shows.
std::vector<SettingDifference> compareSettings(const Table& a, const Table& b, SettingsHalves halves,
                                               int lastAddress = kImageSize - 1);

}  // namespace lk24
