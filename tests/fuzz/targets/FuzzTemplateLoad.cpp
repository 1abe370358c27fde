// The template load: tables, checksum lines and the port entry from any text.
#include "FuzzTarget.h"

#include "model/TemplateFormat.h"

#include <cstdlib>
#include <string_view>

LK24_FUZZ_TARGET(FuzzTemplateLoad) {
  lk24::LineList lines;
  lines.setText(std::string_view(reinterpret_cast<const char*>(data), size));
  lk24::ConfigImage image;
  image.presetForStartup();
  const lk24::TemplateLoad result = lk24::loadTemplateTables(lines, image);
  (void)lk24::scanPortEntry(lines, 1);
  if (result == lk24::TemplateLoad::Valid) {
    // Whatever was accepted must be written back as a valid template.
    lk24::ConfigImage copy = image;
    const lk24::LineList rebuilt = lk24::BuildFile(copy, 1, "", "");
    lk24::LineList reread;
    reread.setText(rebuilt.text());
    lk24::ConfigImage check;
    if (lk24::loadTemplateTables(reread, check) != lk24::TemplateLoad::Valid) std::abort();
  }
  return 0;
}
