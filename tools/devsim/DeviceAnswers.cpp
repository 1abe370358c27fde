// Answering the tool's commands from the EEPROM image: E6 A gives image[A],
// E9 A D stores D and echoes it.
#include "tools/devsim/SimulatorState.h"

#include "model/ConfigImage.h"

namespace lk24::devsim {

std::string DeviceSimulator::Impl::buildImage() {
  Eeprom built = defaultImage(options.type);
  if (options.imageFile) {
    ImageLoad load = loadImageFile(*options.imageFile);
    if (!load.image) return load.error;
    built = *load.image;
  }
  // A write-protected device keeps a consistent checksum; a loaded image
  // whose checksum was already wrong stays wrong.
  const bool checksumWasRight = built[addr::kChecksum] == calculatechecksum(built);
  if (options.writeProtected) built[addr::kWriteProtect] |= 0x01;
  if (options.typeCode) built[addr::kDeviceType] = static_cast<std::uint8_t>(*options.typeCode);
  if (options.firmware) {
    built[addr::kFirmwareMajor] = static_cast<std::uint8_t>(options.firmware->first);
    built[addr::kFirmwareMinor] = static_cast<std::uint8_t>(options.firmware->second);
  }
  if (checksumWasRight) built[addr::kChecksum] = calculatechecksum(built);
  if (options.badChecksum) built[addr::kChecksum] = static_cast<std::uint8_t>(calculatechecksum(built) + 1);
  std::lock_guard lock(imageMutex);
  image = built;
  return {};
}

void DeviceSimulator::Impl::take(std::uint8_t byte, Clock::time_point now) {
  const Clock::time_point arrived = arrival(now);
  {
    std::lock_guard lock(imageMutex);
    ++counters.bytesIn;
  }
  trace.byteIn(byte, arrived);
  if (options.loopback) {
    queue(byte, arrived, false);
    return;
  }
  queueLateCopy(byte, arrived);
  const bool outsideCommand = !parser.midCommand();
  if (const std::optional<Command> command = parser.feed(byte, arrived)) answer(*command, arrived);
  answerWakeUp(byte, outsideCommand, arrived);
}

void DeviceSimulator::Impl::answer(const Command& command, Clock::time_point at) {
  std::uint8_t reply = 0;
  long answered = 0;  // answers before this one
  {
    std::lock_guard lock(imageMutex);
    if (options.silent) return;
    if (options.stopAfter && counters.commands >= *options.stopAfter) return;
    if (command.kind == Command::Kind::Read) {
      reply = image[command.address];
    } else {
      // A worn cell keeps its old byte while the device echoes the new one.
      if (options.stuckAt != command.address) image[command.address] = command.data;
      const bool corrupt = options.wrongEchoAt && *options.wrongEchoAt == command.address;
      reply = corrupt ? static_cast<std::uint8_t>(command.data ^ 0xFF) : command.data;
    }
    answered = counters.commands++;
    reply = disturbed(command, reply, answered);
    if (lost(command, answered)) return;
  }
  if (!firstCommand) firstCommand = command.startedAt;
  const Clock::time_point ready = answerReady(at);
  queueGarbage(ready, answered);
  queue(reply, ready, true);
  queueExtraByte(reply, ready, answered);
}

}  // namespace lk24::devsim
