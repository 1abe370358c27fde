#pragma once
// The window's serial port object as the device link's line. Constructing it
// sets the port up for the device: 19200 baud (8N1, no flow control, DTR and
// RTS on are the port's own defaults), both engine threads at time-critical
// priority, and the data event routed to the link. A port without a number
// yet gets COM1.

#include "link/SerialLine.h"

#include <set>
#include <string>

class TAfComPort;

namespace lk24 {

class AfComPortLine final : public SerialLine {
 public:
  // The port must outlive the adapter. Main thread only, like everything here.
  explicit AfComPortLine(TAfComPort& port);
  ~AfComPortLine() override;

  AfComPortLine(const AfComPortLine&) = delete;
  AfComPortLine& operator=(const AfComPortLine&) = delete;

  void setComNumber(std::uint16_t number) override;
  std::uint16_t ComNumber() const override;
  void Open() override;
  void Close() override;
  void PurgeRx() override;
  void PurgeTx() override;
  void WriteChar(std::uint8_t byte) override;
  std::uint8_t ReadChar() override;
  void setDataHandler(DataHandler handler) override;

  std::string openFailureReason() const override { return openFailure_; }
  std::string describePort(std::uint16_t number) const override;
  std::string takeOpenNotice() override;
  std::string noAnswerHint() const override;
  void setHangUpHandler(HangUpHandler handler) override;

  TAfComPort& port() { return port_; }

 private:
  TAfComPort& port_;
  std::string openFailure_;
  std::string openNotice_;
  std::set<std::string> slowAdaptersNamed_;  // each is named once per run
};

}  // namespace lk24
