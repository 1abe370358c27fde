// Line splitting and number parsing over arbitrary bytes.
#include "FuzzTarget.h"

#include "model/LineList.h"
#include "model/NumberText.h"

#include <cstdlib>
#include <string>
#include <string_view>

LK24_FUZZ_TARGET(FuzzLineReader) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  lk24::LineList lines;
  lines.setText(text);
  std::size_t total = 0;
  for (int i = 0; i < lines.count(); ++i) {
    const std::string& line = lines.line(i);
    total += line.size();
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();  // an ending left inside a line
    if (const auto value = lk24::parseInt32(line)) {
      // A parsed decimal line must print back to a number that parses the same.
      const auto again = lk24::parseInt32(std::to_string(*value));
      if (!again || *again != *value) std::abort();
    }
  }
  if (total > size) std::abort();
  lines.line(lines.count());  // beyond the end reads empty
  return 0;
}
