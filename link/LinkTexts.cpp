#include "link/LinkTexts.h"

namespace lk24::linktext {

namespace {
std::function<std::string(const std::string&)>& decoration() {
  static std::function<std::string(const std::string&)> decorate;
  return decorate;
}
}  // namespace

void setDecoration(std::function<std::string(const std::string&)> decorate) { decoration() = std::move(decorate); }

std::string shown(const std::string& text) {
  // An empty line stays empty: it only spaces the log.
  if (!decoration() || text.empty()) return text;
  return decoration()(text);
}

}  // namespace lk24::linktext
