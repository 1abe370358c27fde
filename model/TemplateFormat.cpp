#include "model/TemplateFormat.h"

#include "model/MakerInfo.h"
#include "model/NumberText.h"

#include <array>

namespace lk24 {

namespace {

// Nearest integer of sum / 256, an exact half going to the even neighbour.
int roundHalfEvenDiv256(int sum) {
  int q = sum / 256;
  const int r = sum % 256;
  if (r > 128 || (r == 128 && (q % 2) != 0)) ++q;
  return q;
}

// A table line holds one byte. A value outside 0..255 is no byte of an
// EEPROM: taking its low 8 bits would program a value nobody wrote.
std::optional<std::uint8_t> parseTableByte(const LineList& lines, int index) {
  const auto value = parseInt32(lines.line(index));
  if (!value || *value < 0 || *value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

// Fills the table line by line; on the first line that is no byte, stops
// there and names it in badLine.
bool parseTable(const LineList& lines, int firstLine, Table& table, int* badLine) {
  for (int i = 0; i < kImageSize; ++i) {
    const auto byte = parseTableByte(lines, firstLine + i);
    if (!byte) {
      if (badLine) *badLine = firstLine + i;
      return false;
    }
    table[i] = *byte;
  }
  return true;
}

}  // namespace

TemplateChecksum templateChecksum(const ConfigImage& image) {
  int sum = 0;
  for (int i = 0; i < kImageSize; ++i) {
    const int s = image.FactoryImage[i] + image.DeviceImage[i] + image.AndMask[i] + image.OrMask[i];
    // i * 0.72 * s rounded: the exact product is a multiple of 1/25 and is
    // never half-way, so the integer form is exact.
    const int term = (36 * i * s + 25) / 50;
    sum = (sum + term) % 65536;
  }
  return splitTemplateSum(sum);
}

TemplateChecksum splitTemplateSum(int sum) {
  TemplateChecksum result;
  result.sum = sum;
  result.high = roundHalfEvenDiv256(sum);
  result.low = sum - 256 * result.high;
  return result;
}

LineList BuildFile(ConfigImage& image, int comNumber, const std::string& transmitterFirmware,
                   const std::string& receiverFirmware) {
  image.FilterUserData();
  return fileLines(image, comNumber, transmitterFirmware, receiverFirmware);
}

LineList fileLines(const ConfigImage& image, int comNumber, const std::string& transmitterFirmware,
                   const std::string& receiverFirmware) {
  LineList lines;
  for (const Table* table : {&image.FactoryImage, &image.DeviceImage, &image.AndMask, &image.OrMask}) {
    for (const std::uint8_t byte : *table) lines.append(std::to_string(byte));
  }
  const TemplateChecksum checksum = templateChecksum(image);
  lines.append(std::to_string(checksum.high));
  lines.append(std::to_string(checksum.low));
  lines.append("[+][00]");
  lines.append(kPortMarker);
  lines.append("[COM]");
  lines.append(std::to_string(comNumber));
  lines.append("[Firmware-T]");
  lines.append(transmitterFirmware);
  lines.append("[Firmware-R]");
  lines.append(receiverFirmware);
  lines.append("[PC]");
  lines.append("1");
  lines.append("00");
  lines.append("--*--");
  lines.append("comments: -reserved-");
  lines.append(std::string("LK24 -config- by ") + maker::kName + ", m/y 08/2007, " + maker::kHomepageText);
  return lines;
}

TemplateLoad loadTemplateTables(const LineList& lines, ConfigImage& image, int* badLine) {
  const std::array<std::pair<int, Table*>, 4> tables{{
      {line::kFactoryImage, &image.FactoryImage},
      {line::kDeviceImage, &image.DeviceImage},
      {line::kAndMask, &image.AndMask},
      {line::kOrMask, &image.OrMask},
  }};
  for (const auto& [first, table] : tables) {
    if (!parseTable(lines, first, *table, badLine)) return TemplateLoad::Malformed;
  }
  const auto high = parseInt32(lines.line(line::kChecksumHigh));
  const auto low = parseInt32(lines.line(line::kChecksumLow));
  if (!high || !low) {
    if (badLine) *badLine = high ? line::kChecksumLow : line::kChecksumHigh;
    return TemplateLoad::Malformed;
  }
  const TemplateChecksum expected = templateChecksum(image);
  if (*high != expected.high || *low != expected.low) return TemplateLoad::ChecksumMismatch;
  return TemplateLoad::Valid;
}

std::uint16_t scanPortEntry(const LineList& lines, std::uint16_t current) {
  std::uint16_t port = current;
  for (int i = line::kPortScanFirst; i <= line::kPortScanLast; ++i) {
    if (lines.line(i) != kPortMarker) continue;
    const auto value = parseInt32(lines.line(i + 2));
    if (!value) break;
    port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(*value) & 0xFFFF);
  }
  return port;
}

std::optional<Table> parseDeviceImage(const LineList& lines, int* badLine) {
  Table table{};
  if (!parseTable(lines, line::kDeviceImage, table, badLine)) return std::nullopt;
  return table;
}

}  // namespace lk24
