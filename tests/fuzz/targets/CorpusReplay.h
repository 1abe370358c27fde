#pragma once
// Runs a fuzz target over every committed corpus and crash input, so inputs
// that once broke something keep being checked by the ordinary test run.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lk24::fuzz {

inline int replayInputs(const std::string& target, int (*entry)(const std::uint8_t*, std::size_t)) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(LK24_SOURCE_DIR) / "tests" / "fuzz";
  int replayed = 0;
  for (const char* kind : {"corpus", "crashes"}) {
    const fs::path dir = root / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entryFile : fs::directory_iterator(dir)) {
      if (!entryFile.is_regular_file()) continue;
      std::ifstream in(entryFile.path(), std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
      SCOPED_TRACE(entryFile.path().string());
      EXPECT_EQ(entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
      ++replayed;
    }
  }
  return replayed;
}

}  // namespace lk24::fuzz
