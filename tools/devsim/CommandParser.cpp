#include "tools/devsim/CommandParser.h"

namespace lk24::devsim {

std::optional<Command> CommandParser::feed(std::uint8_t byte, Clock::time_point at) {
  if (stage_ != Stage::Idle && at - lastByte_ >= kSilenceLimit) stage_ = Stage::Idle;
  lastByte_ = at;
  switch (stage_) {
    case Stage::Idle:
      if (byte == kReadCommand || byte == kWriteCommand) {
        pending_ = Command{};
        pending_.kind = byte == kReadCommand ? Command::Kind::Read : Command::Kind::Write;
        pending_.startedAt = at;
        stage_ = byte == kReadCommand ? Stage::ReadAddress : Stage::WriteAddress;
      }
      return std::nullopt;
    case Stage::ReadAddress:
      pending_.address = byte;
      stage_ = Stage::Idle;
      return pending_;
    case Stage::WriteAddress:
      pending_.address = byte;
      stage_ = Stage::WriteData;
      return std::nullopt;
    case Stage::WriteData:
      pending_.data = byte;
      stage_ = Stage::Idle;
      return pending_;
  }
  return std::nullopt;
}

}  // namespace lk24::devsim
