#pragma once
// Splits the byte stream from the tool into commands: E6 A (read) and
// E9 A D (write). Bytes where a command could begin and that begin none,
// such as the wake-up run of zeros, are ignored.

#include <chrono>
#include <cstdint>
#include <optional>

namespace lk24::devsim {

using Clock = std::chrono::steady_clock;

struct Command {
  enum class Kind { Read, Write };
  Kind kind = Kind::Read;
  std::uint8_t address = 0;
  std::uint8_t data = 0;        // writes only
  Clock::time_point startedAt;  // when its first byte arrived
};

inline constexpr std::uint8_t kReadCommand = 0xE6;
inline constexpr std::uint8_t kWriteCommand = 0xE9;

class CommandParser {
 public:
  // A tool that sends half a command and goes quiet must not leave the
  // device waiting for the rest forever.
  static constexpr Clock::duration kSilenceLimit = std::chrono::seconds(1);

  // Takes one byte that arrived at the given time; returns the command it
  // completes, if any.
  std::optional<Command> feed(std::uint8_t byte, Clock::time_point at);
  bool midCommand() const { return stage_ != Stage::Idle; }

 private:
  enum class Stage { Idle, ReadAddress, WriteAddress, WriteData };
  Stage stage_ = Stage::Idle;
  Command pending_;
  Clock::time_point lastByte_;
};

}  // namespace lk24::devsim
