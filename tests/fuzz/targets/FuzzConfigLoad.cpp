// The configuration-file load: all or nothing, from any text.
#include "FuzzTarget.h"

#include "model/TemplateFormat.h"

#include <cstdlib>
#include <string_view>

LK24_FUZZ_TARGET(FuzzConfigLoad) {
  lk24::LineList lines;
  lines.setText(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto image = lk24::parseDeviceImage(lines);
  const std::uint16_t port = lk24::scanPortEntry(lines, 1);
  if (image && lines.count() < 512) std::abort();  // 256 image lines cannot come from fewer lines
  if (port != 1) {
    bool marker = false;
    for (int i = 1000; i <= 1100; ++i) marker = marker || lines.line(i) == "[+][01]";
    if (!marker) std::abort();
  }
  return 0;
}
