#include "tools/devsim/ImageFile.h"

#include "model/ConfigImage.h"
#include "model/LineList.h"
#include "model/TemplateFormat.h"

#include <cstdio>

namespace lk24::devsim {

namespace {

constexpr int kTransmitterTypeCode = 10;
constexpr int kReceiverTypeCode = 20;

// The firmware as the tool's identity displays show it, e.g. " 1.05".
std::string firmwareText(const Eeprom& image) {
  char text[16];
  std::snprintf(text, sizeof text, "%2d.%02d", image[addr::kFirmwareMajor], image[addr::kFirmwareMinor]);
  return text;
}

}  // namespace

ImageLoad loadImageFile(const std::string& path) {
  LineList lines;
  switch (lines.loadFromFile(path)) {
    case FileReadStatus::Ok:
      break;
    case FileReadStatus::Missing:
      return {std::nullopt, path + ": no such file"};
    case FileReadStatus::Unreadable:
      return {std::nullopt, path + ": cannot be read"};
    case FileReadStatus::TooLarge:
      return {std::nullopt, path + ": too large for a configuration file"};
  }
  const std::optional<Table> image = parseDeviceImage(lines);
  if (!image) return {std::nullopt, path + ": lines 257 to 512 do not hold an EEPROM image"};
  return {*image, {}};
}

std::string saveImageFile(const std::string& path, const Eeprom& image) {
  // Every bit counts as the user's, so the merge that the writer runs keeps
  // the EEPROM exactly as it is.
  ConfigImage tables;
  tables.DeviceImage = image;
  tables.FactoryImage = image;
  tables.AndMask.fill(0xFF);
  tables.OrMask.fill(0x00);
  const std::string unknown = kUnknownText;
  const int type = image[addr::kDeviceType];
  const LineList lines = BuildFile(tables, 1, type == kTransmitterTypeCode ? firmwareText(image) : unknown,
                                   type == kReceiverTypeCode ? firmwareText(image) : unknown);
  if (lines.saveToFile(path) != FileWriteStatus::Ok) return path + ": cannot be written";
  return {};
}

}  // namespace lk24::devsim
