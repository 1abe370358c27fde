#pragma once
// Base of the serial port component: open, close and write as overridable
// operations, a name for its error messages, and a link to a data
// dispatcher that this program never sets.

#include <cstdint>
#include <string>
#include <utility>

class TAfDataDispatcher;

class TAfDataDispConnComponent {
 public:
  TAfDataDispConnComponent() = default;
  virtual ~TAfDataDispConnComponent();

  TAfDataDispConnComponent(const TAfDataDispConnComponent&) = delete;
  TAfDataDispConnComponent& operator=(const TAfDataDispConnComponent&) = delete;

  // The component's name, which its error messages end with ("RS232").
  const std::string& Name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  // Notify a linked dispatcher; there is none in this program.
  virtual void Close();
  virtual void Open();
  virtual void WriteData(const void* buffer, std::int32_t size) = 0;

  TAfDataDispatcher* Dispatcher() const { return dispatcher_; }

 private:
  TAfDataDispatcher* dispatcher_ = nullptr;
  std::string name_;
};
