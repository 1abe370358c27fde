#pragma once
// The serial port as the device link uses it: choose a COM number, open,
// close, purge, and move single bytes. Failures are thrown as the port
// component throws them (std::runtime_error and derived classes).

#include <cstdint>
#include <functional>

class QObject;

namespace lk24 {

class SerialLine {
 public:
  // Sender and the number of bytes waiting when the event was raised.
  using DataHandler = std::function<void(QObject* sender, std::int32_t count)>;

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
};

}  // namespace lk24
