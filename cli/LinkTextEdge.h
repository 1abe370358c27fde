#pragma once
// Where the command line takes texts from link/ and model/: UTF-8 whatever
// type they come in, so that cli/ builds against either.

#include <QString>

#include <string>

namespace lk24::cli {

inline std::string utf8(const QString& text) { return text.toStdString(); }
inline const std::string& utf8(const std::string& text) { return text; }

}  // namespace lk24::cli
