#include "serial/AfCircularBuffer.h"

#include <cstring>

TAfCircularBuffer::TAfCircularBuffer(std::int32_t Size)
    : storage_(new std::uint8_t[Size > 0 ? Size : 1]), capacity_(Size > 0 ? Size : 0) {
  Clear();
}

void TAfCircularBuffer::Clear() {
  readPos_ = 0;
  writePos_ = 0;
  full_ = false;
}

std::int32_t TAfCircularBuffer::BufUsed() const {
  if (full_) return capacity_;
  if (writePos_ >= readPos_) return writePos_ - readPos_;
  return writePos_ + capacity_ - readPos_;
}

std::int32_t TAfCircularBuffer::BufFree() const { return capacity_ - BufUsed(); }

std::int32_t TAfCircularBuffer::LinearBufUsed() const {
  if (full_) return capacity_ - readPos_;
  if (writePos_ >= readPos_) return writePos_ - readPos_;
  return capacity_ - readPos_;
}

const std::uint8_t* TAfCircularBuffer::ReadPtr() const { return storage_.get() + readPos_; }

std::int32_t TAfCircularBuffer::Advance(std::int32_t position, std::int32_t n) const {
  const std::int32_t moved = position + n;
  return moved < capacity_ ? moved : moved - capacity_;
}

bool TAfCircularBuffer::Remove(std::int32_t n) {
  // A negative count would move the read position backwards past stored data.
  if (n < 0 || n > BufUsed()) return false;
  readPos_ = Advance(readPos_, n);
  if (n > 0) full_ = false;
  return true;
}

bool TAfCircularBuffer::Write(const void* buffer, std::int32_t len) {
  if (len < 1 || len > BufFree()) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint8_t* base = storage_.get();
  if (writePos_ < readPos_) {
    std::memcpy(base + writePos_, bytes, std::size_t(len));
  } else {
    const std::int32_t room = capacity_ - writePos_;
    if (room < len) {
      std::memcpy(base + writePos_, bytes, std::size_t(room));
      std::memcpy(base, bytes + room, std::size_t(len - room));
    } else {
      std::memcpy(base + writePos_, bytes, std::size_t(len));
    }
  }
  writePos_ = Advance(writePos_, len);
  full_ = readPos_ == writePos_;
  return true;
}
