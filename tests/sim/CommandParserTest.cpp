#include "tools/devsim/CommandParser.h"

#include <gtest/gtest.h>

namespace lk24::devsim {
namespace {

using std::chrono::milliseconds;

struct Fed {
  CommandParser parser;
  Clock::time_point now{};
  std::optional<Command> feed(std::uint8_t byte, milliseconds after = milliseconds(0)) {
    now += after;
    return parser.feed(byte, now);
  }
};

TEST(CommandParser, SplitsReadsAndWritesAndIgnoresStrayBytes) {
  Fed f;
  for (const std::uint8_t stray : {0x00, 0x00, 0x55, 0xFF, 0xE7}) EXPECT_FALSE(f.feed(stray));
  EXPECT_FALSE(f.feed(0xE6));
  const auto read = f.feed(0xE9);  // an address that looks like a command byte is still the address
  ASSERT_TRUE(read);
  EXPECT_EQ(read->kind, Command::Kind::Read);
  EXPECT_EQ(read->address, 0xE9);

  EXPECT_FALSE(f.feed(0xE9, milliseconds(3)));
  const Clock::time_point started = f.now;
  EXPECT_FALSE(f.feed(0x00));
  const auto write = f.feed(0xE6);
  ASSERT_TRUE(write);
  EXPECT_EQ(write->kind, Command::Kind::Write);
  EXPECT_EQ(write->address, 0x00);
  EXPECT_EQ(write->data, 0xE6);
  EXPECT_EQ(write->startedAt, started);
  EXPECT_FALSE(f.parser.midCommand());
}

TEST(CommandParser, DropsAnIncompleteCommandAfterOneSecondOfSilence) {
  Fed f;
  f.feed(0xE9);
  f.feed(0x05);
  EXPECT_TRUE(f.parser.midCommand());
  // Just under the limit the command goes on.
  const auto late = f.feed(0x42, milliseconds(999));
  ASSERT_TRUE(late);
  EXPECT_EQ(late->data, 0x42);

  f.feed(0xE9);
  f.feed(0x05);
  // At the limit it is gone, and the byte that ends the silence starts afresh.
  EXPECT_FALSE(f.feed(0xE6, milliseconds(1000)));
  const auto fresh = f.feed(0xFD);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->kind, Command::Kind::Read);
  EXPECT_EQ(fresh->address, 0xFD);
}

}  // namespace
}  // namespace lk24::devsim
