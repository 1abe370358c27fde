#pragma once
// Base of the serial port component: open, close and write as overridable
// operations, and a link to a data dispatcher that this program never sets.

#include <QObject>

#include <cstdint>

class TAfDataDispatcher;

class TAfDataDispConnComponent : public QObject {
 public:
  explicit TAfDataDispConnComponent(QObject* owner = nullptr);
  ~TAfDataDispConnComponent() override;

  // Notify a linked dispatcher; there is none in this program.
  virtual void Close();
  virtual void Open();
  virtual void WriteData(const void* buffer, std::int32_t size) = 0;

  TAfDataDispatcher* Dispatcher() const { return dispatcher_; }

 private:
  TAfDataDispatcher* dispatcher_ = nullptr;
};
