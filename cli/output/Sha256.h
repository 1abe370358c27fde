#pragma once
// SHA-256 of a file, for the record of what was programmed: the same file
// gives the same sum on every bench, so a row proves which file went in.

#include <string>

namespace lk24::cli {

// Lower-case hex digest of bytes.
std::string sha256Hex(const std::string& bytes);
// Of the file at path; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

}  // namespace lk24::cli
