#pragma once
// The serial port as the device link uses it: choose a COM number, open,
// close, purge, and move single bytes. Failures are thrown as the port
// component throws them (std::runtime_error and derived classes).

#include <cstdint>
#include <functional>
#include <string>

namespace lk24 {

class SerialLine {
 public:
  // The line that raised it and the number of bytes waiting when it was raised.
  using DataHandler = std::function<void(SerialLine* sender, std::int32_t count)>;

  virtual ~SerialLine() = default;

  // All operations: main thread only.
  // Assigning a new number to an open port closes and reopens it.
  virtual void setComNumber(std::uint16_t number) = 0;
  virtual std::uint16_t ComNumber() const = 0;
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual void PurgeRx() = 0;
  virtual void PurgeTx() = 0;
  virtual void WriteChar(std::uint8_t byte) = 0;  // queues and returns at once
  virtual std::uint8_t ReadChar() = 0;            // throws when nothing is waiting

  // The receive event; delivered on the main thread. An empty handler stops it.
  virtual void setDataHandler(DataHandler handler) = 0;

  // What the port can tell the user beyond the component's errors, in
  // German (UTF-8); a line that knows nothing of its device returns empty texts.
  // Why the last Open failed: the device, the cause and its remedy.
  virtual std::string openFailureReason() const { return {}; }
  // What COM `number` resolves to now and what it is.
  virtual std::string describePort(std::uint16_t /*number*/) const { return {}; }
  // A note to give once after an Open (an adapter that holds bytes back).
  virtual std::string takeOpenNotice() { return {}; }
  // For a request that got no answer at all: a port grabber that is running.
  virtual std::string noAnswerHint() const { return {}; }
  // The device went away; the port has closed itself. Main thread.
  using HangUpHandler = std::function<void(const std::string& notice)>;
  virtual void setHangUpHandler(HangUpHandler /*handler*/) {}
};

}  // namespace lk24
