#include "link/AfComPortLine.h"

#include "serial/AfComPort.h"

namespace lk24 {

AfComPortLine::AfComPortLine(TAfComPort& port) : port_(port) {
  port_.setBaudRate(br19200);
  // One exchange per byte: every hop the engine threads wait adds to the transfer time.
  port_.setEventThreadPriority(tpTimeCritical);
  port_.setWriteThreadPriority(tpTimeCritical);
  if (port_.ComNumber() == 0) port_.setComNumber(1);
  if (port_.objectName().isEmpty()) port_.setObjectName(QStringLiteral("RS232"));
}

AfComPortLine::~AfComPortLine() { port_.OnDataRecived = nullptr; }

void AfComPortLine::setComNumber(std::uint16_t number) { port_.setComNumber(number); }

std::uint16_t AfComPortLine::ComNumber() const { return port_.ComNumber(); }

void AfComPortLine::Open() { port_.Open(); }

void AfComPortLine::Close() { port_.Close(); }

void AfComPortLine::PurgeRx() { port_.PurgeRx(); }

void AfComPortLine::PurgeTx() { port_.PurgeTx(); }

void AfComPortLine::WriteChar(std::uint8_t byte) { port_.WriteChar(byte); }

std::uint8_t AfComPortLine::ReadChar() { return port_.ReadChar(); }

void AfComPortLine::setDataHandler(DataHandler handler) { port_.OnDataRecived = std::move(handler); }

}  // namespace lk24
