#pragma once
// Fixed-capacity byte ring buffer: the output queue of a port's write thread.
// No lock of its own; the engine holds its WriteLock around every call.

#include <cstdint>
#include <memory>

class TAfCircularBuffer {
 public:
  explicit TAfCircularBuffer(std::int32_t Size);

  TAfCircularBuffer(const TAfCircularBuffer&) = delete;
  TAfCircularBuffer& operator=(const TAfCircularBuffer&) = delete;

  void Clear();
  std::int32_t BufUsed() const;
  std::int32_t BufFree() const;
  // Bytes readable in one piece from the read position.
  std::int32_t LinearBufUsed() const;
  const std::uint8_t* ReadPtr() const;
  bool Remove(std::int32_t n);
  bool Write(const void* buffer, std::int32_t len);

  std::int32_t Capacity() const { return capacity_; }
  std::int32_t ReadPosition() const { return readPos_; }
  std::int32_t WritePosition() const { return writePos_; }
  bool Full() const { return full_; }

 private:
  std::int32_t Advance(std::int32_t position, std::int32_t n) const;

  std::unique_ptr<std::uint8_t[]> storage_;
  std::int32_t capacity_;
  std::int32_t readPos_ = 0;
  std::int32_t writePos_ = 0;
  bool full_ = false;
};
