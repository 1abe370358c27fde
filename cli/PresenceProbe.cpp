#include "cli/PresenceProbe.h"

#include "link/AfComPortLine.h"
#include "link/DeviceLink.h"
#include "serial/AfComPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace lk24::cli {

bool deviceAnswers(std::uint16_t comNumber) {
  TAfComPort port;
  AfComPortLine line(port);
  bool answered = false;
  line.setDataHandler([&answered](QObject*, std::int32_t count) {
    if (count > 0) answered = true;
  });
  try {
    line.setComNumber(comNumber);
    line.Open();
    line.PurgeRx();
    line.PurgeTx();
    for (int i = 0; i < command::kWakeUpLength; ++i) line.WriteChar(0x00);
    line.PurgeRx();
    line.WriteChar(command::kRead);
    line.WriteChar(0);
  } catch (const std::exception&) {
    return false;
  }
  QTimer heartbeat;
  heartbeat.start(20);
  QElapsedTimer clock;
  clock.start();
  while (!answered && clock.elapsed() < kResponseTimeoutMs) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  line.setDataHandler({});
  try {
    port.Close();
  } catch (const std::exception&) {
  }
  return answered;
}

}  // namespace lk24::cli
