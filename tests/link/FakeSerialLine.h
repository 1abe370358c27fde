#pragma once
// A SerialLine in memory: it records every operation in order, fails where a
// test tells it to, and hands received bytes to the link's data handler.

#include "link/SerialLine.h"

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <stdexcept>
#include <utility>
#include <vector>

namespace lk24::test {

class FakeSerialLine : public SerialLine {
 public:
  enum class Op { SetCom, Open, Close, PurgeRx, PurgeTx, Write, Read };
  struct Record {
    Op op;
    int value;  // the COM number, the byte written or read; 0 otherwise
    bool operator==(const Record&) const = default;
  };

  std::vector<Record> ops;
  std::vector<std::uint8_t> written;  // every byte written, in order
  std::deque<std::uint8_t> rx;        // received, not yet read
  std::set<int> unavailable;          // COM numbers whose Open fails
  bool failCloseAlways = false;
  bool failWrites = false;
  bool isOpen = false;
  // What the port says about itself.
  std::string failureReason;  // after a failed Open
  std::string notice;         // once after an Open
  std::string silenceHint;
  HangUpHandler hangUp;

  std::string openFailureReason() const override { return failureReason; }
  std::string describePort(std::uint16_t number) const override { return "device of COM" + std::to_string(number); }
  std::string takeOpenNotice() override { return std::exchange(notice, std::string()); }
  std::string noAnswerHint() const override { return silenceHint; }
  void setHangUpHandler(HangUpHandler handler) override { hangUp = std::move(handler); }

  void setComNumber(std::uint16_t number) override {
    ops.push_back({Op::SetCom, number});
    if (number == com_) return;
    if (isOpen) {
      Close();
      com_ = number;
      Open();
    } else {
      com_ = number;
    }
  }
  std::uint16_t ComNumber() const override { return com_; }
  void Open() override {
    ops.push_back({Op::Open, com_});
    if (isOpen) return;
    if (unavailable.count(com_)) throw std::runtime_error("Can't open device");
    isOpen = true;
  }
  void Close() override {
    ops.push_back({Op::Close, com_});
    if (failCloseAlways) throw std::runtime_error("close failed");
    isOpen = false;
    rx.clear();
  }
  void PurgeRx() override {
    ops.push_back({Op::PurgeRx, 0});
    rx.clear();
  }
  void PurgeTx() override { ops.push_back({Op::PurgeTx, 0}); }
  void WriteChar(std::uint8_t byte) override {
    if (!isOpen || failWrites) throw std::runtime_error("Write data error");
    ops.push_back({Op::Write, byte});
    written.push_back(byte);
  }
  std::uint8_t ReadChar() override {
    if (rx.empty()) throw std::runtime_error("Read data error");
    const std::uint8_t byte = rx.front();
    rx.pop_front();
    ops.push_back({Op::Read, byte});
    return byte;
  }
  void setDataHandler(DataHandler handler) override { handler_ = std::move(handler); }

  // A byte arrives and the data event reports the queue length.
  void receive(std::uint8_t byte) {
    rx.push_back(byte);
    raiseDataEvent(static_cast<std::int32_t>(rx.size()));
  }
  void raiseDataEvent(std::int32_t count) {
    if (handler_) handler_(this, count);
  }
  bool hasHandler() const { return static_cast<bool>(handler_); }

 private:
  std::uint16_t com_ = 1;
  DataHandler handler_;
};

}  // namespace lk24::test
