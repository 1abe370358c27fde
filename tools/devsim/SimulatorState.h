#pragma once
// The simulator's inner state, shared by the files that make it up: the
// line and its serving loop (DeviceSimulator.cpp), answering commands from
// the image (DeviceAnswers.cpp), the injected faults (DeviceFaults.cpp) and
// the time bytes take on the wire (WireTime.cpp).

#include "tools/devsim/CommandParser.h"
#include "tools/devsim/DeviceSimulator.h"
#include "tools/devsim/ImageFile.h"
#include "tools/devsim/TraceLog.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

namespace lk24::devsim {

// The time one byte of 10 bits takes at `baud`; zero without wire timing.
Clock::duration byteTime(int baud);

// Asks the scheduler for wake-ups at an answer's due time, not after a busy
// neighbour's time slice.
void preferPromptWakeUps();

struct DeviceSimulator::Impl {
  struct Outgoing {
    std::uint8_t byte;
    Clock::time_point due;  // when the byte has crossed the wire and reaches the tool
    bool answer;            // false for garbage and other bytes no command asked for
  };

  explicit Impl(Options o) : options(std::move(o)), rng(options.seed) {}

  const Options options;

  // Shared with callers on other threads.
  mutable std::mutex imageMutex;
  Eeprom image{};
  Stats counters;

  mutable std::mutex stateMutex;  // slavePath, lastError, running, vanished
  std::condition_variable stateChanged;
  std::string slavePath;
  std::string lastError;
  bool running = false;
  bool vanished = false;
  bool vanishRequested = false;
  std::atomic<bool> stopping{false};
  int wakeFd = -1;

  // Used by start()/stop() on the caller's thread, and in between only by
  // the serving thread.
  bool started = false;
  bool stopped = false;
  std::thread thread;
  int master = -1;
  int slaveHold = -1;  // keeps the line up while the tool has the slave closed
  int watchFd = -1;    // opens and closes of the slave by the tool
  int toolOpens = 0;
  std::string linkPlaced;
  TraceLog trace;
  Clock::time_point origin;

  // Serving thread only.
  CommandParser parser;
  std::deque<Outgoing> outgoing;
  Clock::duration perByte = byteTime(options.baud);
  Clock::time_point rxLineFree{};
  Clock::time_point txLineFree{};
  std::mt19937 rng;
  std::optional<Clock::time_point> firstCommand;
  std::optional<Clock::time_point> lastAnswer;
  bool waitWritable = false;
  std::optional<Clock::time_point> hangupUntil;
  bool inZeroRun = false;        // the last byte was a zero outside a command
  bool noisyAtDone = false;      // --noisy-at has disturbed its one answer
  bool dropAtDone = false;       // --drop-at has lost its one answer
  std::optional<std::uint8_t> lateCopy;  // --late-extra-after: waiting for the next command

  // The line (DeviceSimulator.cpp).
  std::string openLine();
  void serve();
  void wake() const;
  void takeWake();
  void watchTool();
  void receive(Clock::time_point now);
  void closeLine();
  void fail(const std::string& reason, std::string* error);

  // Answering (DeviceAnswers.cpp).
  std::string buildImage();
  void take(std::uint8_t byte, Clock::time_point now);
  void answer(const Command& command, Clock::time_point at);

  // Faults (DeviceFaults.cpp). Under imageMutex: what the tool receives
  // instead of `reply`, the answer `answered` (from 0) to `command`.
  std::uint8_t disturbed(const Command& command, std::uint8_t reply, long answered);
  bool lost(const Command& command, long answered);  // the answer never reaches the tool
  Clock::time_point answerReady(Clock::time_point at);  // latency and jitter
  void queueGarbage(Clock::time_point ready, long answered);
  void queueExtraByte(std::uint8_t reply, Clock::time_point ready, long answered);
  void queueLateCopy(std::uint8_t byte, Clock::time_point at);  // at the start of the next command
  void answerWakeUp(std::uint8_t byte, bool outsideCommand, Clock::time_point at);
  bool happens(int percent);  // true for that share of the calls

  // Wire time (WireTime.cpp).
  Clock::time_point arrival(Clock::time_point now);
  void queue(std::uint8_t byte, Clock::time_point ready, bool isAnswer);
  void send(Clock::time_point now);
  void countByteOut(int change);
};

}  // namespace lk24::devsim
