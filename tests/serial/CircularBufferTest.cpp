#include "serial/AfCircularBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> Drain(TAfCircularBuffer& buffer) {
  std::vector<std::uint8_t> out;
  while (buffer.BufUsed() > 0) {
    const std::int32_t piece = buffer.LinearBufUsed();
    out.insert(out.end(), buffer.ReadPtr(), buffer.ReadPtr() + piece);
    EXPECT_TRUE(buffer.Remove(piece));
  }
  return out;
}

TEST(CircularBuffer, CapacityFourWrapsIntoAFullBuffer) {
  TAfCircularBuffer buffer(4);
  const std::uint8_t first[] = {1, 2, 3};
  ASSERT_TRUE(buffer.Write(first, 3));
  EXPECT_EQ(buffer.BufUsed(), 3);
  EXPECT_EQ(buffer.BufFree(), 1);
  ASSERT_TRUE(buffer.Remove(2));
  EXPECT_EQ(buffer.BufUsed(), 1);

  const std::uint8_t second[] = {4, 5, 6};
  ASSERT_TRUE(buffer.Write(second, 3));
  EXPECT_TRUE(buffer.Full());
  EXPECT_EQ(buffer.ReadPosition(), 2);
  EXPECT_EQ(buffer.WritePosition(), 2);
  EXPECT_EQ(buffer.BufUsed(), 4);
  EXPECT_EQ(buffer.BufFree(), 0);
  EXPECT_EQ(buffer.LinearBufUsed(), 2);
  // The wrapped bytes come out in the order they went in.
  EXPECT_EQ(Drain(buffer), (std::vector<std::uint8_t>{3, 4, 5, 6}));
}

TEST(CircularBuffer, RefusedCallsChangeNothing) {
  TAfCircularBuffer buffer(4);
  const std::uint8_t bytes[] = {7, 8, 9, 10, 11};
  EXPECT_FALSE(buffer.Write(bytes, 0));
  EXPECT_FALSE(buffer.Write(bytes, 5));
  EXPECT_EQ(buffer.BufUsed(), 0);
  ASSERT_TRUE(buffer.Write(bytes, 3));
  EXPECT_FALSE(buffer.Write(bytes, 2));
  EXPECT_FALSE(buffer.Remove(4));
  EXPECT_FALSE(buffer.Remove(-1));
  EXPECT_EQ(buffer.BufUsed(), 3);
  EXPECT_EQ(buffer.ReadPosition(), 0);

  ASSERT_TRUE(buffer.Write(bytes, 1));
  ASSERT_TRUE(buffer.Full());
  EXPECT_TRUE(buffer.Remove(0));
  EXPECT_TRUE(buffer.Full()) << "removing nothing keeps a full buffer full";
  EXPECT_EQ(Drain(buffer), (std::vector<std::uint8_t>{7, 8, 9, 7}));
  EXPECT_FALSE(buffer.Full());
}

TEST(CircularBuffer, KeepsOrderOverManyWraps) {
  TAfCircularBuffer buffer(7);
  std::vector<std::uint8_t> written;
  std::vector<std::uint8_t> read;
  std::uint8_t next = 0;
  for (int round = 0; round < 200; ++round) {
    const std::int32_t len = 1 + round % 5;
    std::vector<std::uint8_t> chunk;
    for (int i = 0; i < len; ++i) chunk.push_back(next++);
    if (buffer.Write(chunk.data(), len)) written.insert(written.end(), chunk.begin(), chunk.end());
    const std::int32_t take = std::min(buffer.LinearBufUsed(), 1 + round % 3);
    read.insert(read.end(), buffer.ReadPtr(), buffer.ReadPtr() + take);
    ASSERT_TRUE(buffer.Remove(take));
    ASSERT_EQ(buffer.BufUsed() + buffer.BufFree(), 7);
  }
  const auto rest = Drain(buffer);
  read.insert(read.end(), rest.begin(), rest.end());
  EXPECT_EQ(read, written);
}

}  // namespace
