#include "cli/session/PresenceProbe.h"

#include "cli/platform/MainLoop.h"
#include "link/AfComPortLine.h"
#include "editor/DeviceIdentity.h"
#include "link/DeviceLink.h"
#include "serial/AfComPort.h"

#include <optional>

namespace lk24::cli {

namespace {

// One read command, stop-and-wait as the transfer does it.
class ByteAsker {
 public:
  explicit ByteAsker(AfComPortLine& line) : line_(line) {
    line_.setDataHandler([this](SerialLine*, std::int32_t count) {
      if (count > 0 && !answer_) answer_ = line_.ReadChar();
    });
  }
  ~ByteAsker() { line_.setDataHandler({}); }

  std::optional<std::uint8_t> ask(int address) {
    answer_.reset();
    line_.WriteChar(command::kRead);
    line_.WriteChar(static_cast<std::uint8_t>(address));
    mainLoop().runUntil([this] { return answer_.has_value(); }, std::chrono::milliseconds(kResponseTimeoutMs));
    return answer_;
  }

 private:
  AfComPortLine& line_;
  std::optional<std::uint8_t> answer_;
};

int serialHighOf(int typeCode) {
  if (typeCode == devicetype::kTransmitter) return addr::kTransmitterSerialHigh;
  if (typeCode == devicetype::kReceiver) return addr::kReceiverSerialHigh;
  return -1;
}

ProbeAnswer ask(AfComPortLine& line) {
  ProbeAnswer answer;
  ByteAsker asker(line);
  const auto type = asker.ask(addr::kDeviceType);
  if (!type) return answer;
  answer.kind = ProbeAnswer::Answered;
  answer.typeCode = *type;
  if (const int high = serialHighOf(answer.typeCode); high >= 0) {
    const auto highByte = asker.ask(high);
    const auto lowByte = highByte ? asker.ask(high + 1) : std::nullopt;
    if (lowByte) answer.serial = *highByte * 256 + *lowByte;
  }
  return answer;
}

}  // namespace

ProbeAnswer probeDevice(std::uint16_t comNumber) {
  TAfComPort port;
  AfComPortLine line(port);
  ProbeAnswer answer;
  try {
    line.setComNumber(comNumber);
    line.Open();
    line.PurgeRx();
    line.PurgeTx();
    for (int i = 0; i < command::kWakeUpLength; ++i) line.WriteChar(0x00);
    line.PurgeRx();
    answer = ask(line);
  } catch (const std::exception&) {
    answer.kind = port.Active() ? ProbeAnswer::Silent : ProbeAnswer::PortFailed;
  }
  try {
    port.Close();
  } catch (const std::exception&) {
  }
  return answer;
}

}  // namespace lk24::cli
