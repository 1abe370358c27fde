#pragma once
// Text for the terminal: UTF-8 whatever the locale says.

#include <string>

namespace lk24::cli {

void printOut(const std::string& text);  // stdout, followed by a line end
void printErr(const std::string& text);  // stderr, followed by a line end

}  // namespace lk24::cli
