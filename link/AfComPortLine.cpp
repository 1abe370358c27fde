#include "link/AfComPortLine.h"

#include "link/PortTexts.h"
#include "serial/AfComPort.h"
#include "serial/AfPortResolver.h"

#include <utility>

namespace lk24 {

AfComPortLine::AfComPortLine(TAfComPort& port) : port_(port) {
  port_.setBaudRate(br19200);
  // One exchange per byte: every hop the engine threads wait adds to the transfer time.
  port_.setEventThreadPriority(tpTimeCritical);
  port_.setWriteThreadPriority(tpTimeCritical);
  if (port_.ComNumber() == 0) port_.setComNumber(1);
  // The port's errors name it.
  if (port_.Name().empty()) port_.setName("RS232");
}

AfComPortLine::~AfComPortLine() {
  port_.OnDataRecived = nullptr;
  port_.OnHangUp = nullptr;
}

void AfComPortLine::setComNumber(std::uint16_t number) { port_.setComNumber(number); }

std::uint16_t AfComPortLine::ComNumber() const { return port_.ComNumber(); }

void AfComPortLine::Open() {
  openFailure_.clear();
  try {
    port_.Open();
  } catch (const EAfComPortOpenError& e) {
    openFailure_ = porttext::openFailureReason(port_.ComNumber(), e.Access(), AfFindPortGrabbers(TAfPortRoots{}));
    throw;
  }
  // A timer above 1 ms after asking for low latency: the driver ignored it.
  const std::string& path = port_.Core().DevicePath();
  if (const auto ms = port_.Core().LatencyTimerMs(); ms && *ms > 1 && slowAdaptersNamed_.insert(path).second) {
    openNotice_ = porttext::latencyNotice(path, *ms);
  }
}

std::string AfComPortLine::describePort(std::uint16_t number) const {
  return porttext::describeResolution(AfResolveComPort(number, TAfPortRoots{}));
}

std::string AfComPortLine::takeOpenNotice() { return std::exchange(openNotice_, std::string()); }

std::string AfComPortLine::noAnswerHint() const {
  return porttext::grabberNotice(AfFindPortGrabbers(TAfPortRoots{}));
}

void AfComPortLine::setHangUpHandler(HangUpHandler handler) {
  if (!handler) {
    port_.OnHangUp = nullptr;
    return;
  }
  port_.OnHangUp = [this, handler = std::move(handler)](TAfCustomSerialPort*) {
    handler(porttext::hangUpNotice(port_.ComNumber(), port_.Core().DevicePath()));
  };
}

void AfComPortLine::Close() { port_.Close(); }

void AfComPortLine::PurgeRx() { port_.PurgeRx(); }

void AfComPortLine::PurgeTx() { port_.PurgeTx(); }

void AfComPortLine::WriteChar(std::uint8_t byte) { port_.WriteChar(byte); }

std::uint8_t AfComPortLine::ReadChar() { return port_.ReadChar(); }

void AfComPortLine::setDataHandler(DataHandler handler) {
  if (!handler) {
    port_.OnDataRecived = nullptr;
    return;
  }
  port_.OnDataRecived = [this, handler = std::move(handler)](TAfCustomSerialPort*, std::int32_t count) {
    handler(this, count);
  };
}

}  // namespace lk24
