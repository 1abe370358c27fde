#pragma once
// Shared pieces of the simulator tests: a started device and a scratch folder.

#include "tools/devsim/DeviceSimulator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace lk24::devsim::test {

// Long enough for a lost answer to have arrived on an idle machine.
inline constexpr std::chrono::milliseconds kQuiet(200);

inline std::unique_ptr<DeviceSimulator> startedDevice(Options options = {}) {
  auto device = std::make_unique<DeviceSimulator>(std::move(options));
  std::string error;
  EXPECT_TRUE(device->start(&error)) << error;
  return device;
}

class ScratchDir {
 public:
  ScratchDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("lk24-sim-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace lk24::devsim::test
