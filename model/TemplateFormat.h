#pragma once
// The 1040-line text format shared by the template file LK24.ini and the
// configuration files (*.lk2): four tables of 256 lines, a weighted
// checksum, the port entry and version texts.

#include "model/ConfigImage.h"
#include "model/LineList.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lk24 {

namespace line {
constexpr int kFactoryImage = 0;   // 0..255
constexpr int kDeviceImage = 256;  // 256..511
constexpr int kAndMask = 512;      // 512..767
constexpr int kOrMask = 768;       // 768..1023
constexpr int kChecksumHigh = 1024;
constexpr int kChecksumLow = 1025;
constexpr int kPortScanFirst = 1000;  // the port entry is searched in 1000..1100
constexpr int kPortScanLast = 1100;
constexpr int kCount = 1040;
}  // namespace line

inline constexpr const char* kTemplateFileName = "LK24.ini";
inline constexpr const char* kPortMarker = "[+][01]";
// The transmitter and receiver firmware displays while no device is known.
inline constexpr const char* kUnknownText = " ??? ";

// Position-weighted checksum over FactoryImage, DeviceImage, AndMask and
// OrMask as they stand. high is 0..256; low = sum - 256*high, -128..128.
struct TemplateChecksum {
  int sum = 0;
  int high = 0;
  int low = 0;
};
TemplateChecksum templateChecksum(const ConfigImage& image);
// The two checksum lines for a sum of 0..65535: high is sum / 256 rounded,
// an exact half going to the even neighbour.
TemplateChecksum splitTemplateSum(int sum);

// Merges the DeviceImage in place (FilterUserData), then produces the 1040
// lines. The firmware texts are those of the two firmware displays.
LineList BuildFile(ConfigImage& image, int comNumber, const std::string& transmitterFirmware,
                   const std::string& receiverFirmware);

// The 1040 lines of the four tables exactly as they stand, without the merge;
// the checksum lines are computed over what is written.
LineList fileLines(const ConfigImage& image, int comNumber, const std::string& transmitterFirmware,
                   const std::string& receiverFirmware);

enum class TemplateLoad {
  Valid,             // all four tables read and both checksum lines match
  Malformed,         // a line of 0..1025 does not parse or a table line is no byte
                     // 0..255 (missing lines read empty)
  ChecksumMismatch,  // the tables were read but the checksum lines differ
};

// Reads lines 0..1023 into FactoryImage, DeviceImage, AndMask and OrMask in
// that order, stopping at the first line that does not parse (the entries
// before it keep the file's values), then compares lines 1024 and 1025.
// When Malformed, badLine (if given) is the number of the line at fault.
TemplateLoad loadTemplateTables(const LineList& lines, ConfigImage& image, int* badLine = nullptr);

// The port entry: for each line 1000..1100 that is exactly "[+][01]", the
// line two below gives the port (its low 16 bits). The last match wins; an
// entry that does not parse ends the scan. Returns the port after the scan,
// starting from current.
std::uint16_t scanPortEntry(const LineList& lines, std::uint16_t current);

// The DeviceImage of a configuration file (lines 256..511), all or nothing;
// on failure badLine (if given) is the number of the first line at fault.
std::optional<Table> parseDeviceImage(const LineList& lines, int* badLine = nullptr);

}  // namespace lk24
