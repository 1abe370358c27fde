#pragma once
// Text for the terminal: UTF-8 whatever the locale says.

#include <QString>

namespace lk24::cli {

void printOut(const QString& text);  // stdout, followed by a line end
void printErr(const QString& text);  // stderr, followed by a line end

}  // namespace lk24::cli
