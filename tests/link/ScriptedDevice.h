#pragma once
// The device's side of the protocol over a FakeSerialLine: it decodes the
// commands the link has written and answers each with one byte, delivered
// only when the test pumps, so that every exchange is one step.

#include "FakeSerialLine.h"
#include "model/ConfigImage.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace lk24::test {

class ScriptedDevice {
 public:
  explicit ScriptedDevice(FakeSerialLine& line) : line_(line) {}

  Table eeprom{};
  std::optional<int> stopAfter;    // answers this many commands, then none
  std::optional<int> wrongEchoAt;  // the write to this address echoes D xor 0xFF
  std::set<int> stuckAddresses;    // writes here are echoed but not stored
  std::optional<int> noisyAnswer;  // this answer (from 0) arrives with noiseMask flipped, as line noise
  std::uint8_t noiseMask = 0xFF;
  std::optional<int> extraAfter;   // this answer (from 0) arrives twice, in one piece
  std::optional<int> lateExtraAfter;  // this answer (from 0) comes again once the next command has gone out
  std::optional<int> commandBackAt;   // this answer (from 0) is the command itself, once
  bool loopback = false;           // every command comes back, as one piece, and nothing else
  // Asked when nothing is left to deliver; true when it let time pass (a timer fired), so more may come.
  std::function<bool()> whenQuiet;
  int answered = 0;

  // Delivers answers one at a time until the link sends nothing new.
  // Returns the number of bytes delivered.
  int pump() {
    int delivered = 0;
    for (;;) {
      decode();
      if (pending_.empty()) {
        if (whenQuiet && whenQuiet()) continue;
        return delivered;
      }
      const std::vector<std::uint8_t> piece = pending_.front();
      pending_.pop_front();
      for (std::size_t i = 0; i + 1 < piece.size(); ++i) line_.rx.push_back(piece[i]);
      line_.receive(piece.back());
      delivered += static_cast<int>(piece.size());
    }
  }

 private:
  void decode() {
    while (cursor_ < line_.written.size()) {
      const std::uint8_t byte = line_.written[cursor_++];
      command_.push_back(byte);
      if (loopback) {
        if (command_[0] != 0x00 && command_.size() == (command_[0] == 0xE9 ? 3u : 2u)) {
          pending_.emplace_back(command_.begin(), command_.end());
          command_.clear();
        } else if (command_[0] == 0x00) {
          command_.clear();
        }
      } else if (command_[0] == 0x00) {  // wake-up byte outside a command
        command_.clear();
      } else if (command_.size() == 1 && held_) {  // the late copy, just after the command's first byte
        pending_.push_back({*held_});
        held_.reset();
      } else if (command_[0] == 0xE6 && command_.size() == 2) {
        answer(eeprom[command_[1]]);
      } else if (command_[0] == 0xE9 && command_.size() == 3) {
        const int address = command_[1];
        const std::uint8_t data = command_[2];
        if (!stuckAddresses.count(address)) eeprom[address] = data;
        answer(wrongEchoAt == address ? static_cast<std::uint8_t>(data ^ 0xFF) : data);
      } else if (command_[0] != 0xE6 && command_[0] != 0xE9) {
        command_.clear();
      }
    }
  }
  void answer(std::uint8_t byte) {
    lastCommand_.assign(command_.begin(), command_.end());
    command_.clear();
    if (stopAfter && answered >= *stopAfter) return;
    if (noisyAnswer == answered) byte ^= noiseMask;
    if (lateExtraAfter == answered) held_ = byte;
    if (commandBackAt == answered) {
      pending_.emplace_back(lastCommand_.begin(), lastCommand_.end());
    } else {
      pending_.push_back(extraAfter == answered ? std::vector<std::uint8_t>{byte, byte} : std::vector<std::uint8_t>{byte});
    }
    ++answered;
  }

  FakeSerialLine& line_;
  std::size_t cursor_ = 0;
  std::deque<std::uint8_t> command_;
  std::deque<std::vector<std::uint8_t>> pending_;
  std::optional<std::uint8_t> held_;
  std::vector<std::uint8_t> lastCommand_;
};

}  // namespace lk24::test
