#pragma once
// Which device answers on a port, asked the way every request starts: the
// wake-up run, then read commands for the type byte and the serial number
// of that type, each with the response time-out of a transfer. The port is
// open only during the question.

#include <cstdint>

namespace lk24::cli {

struct ProbeAnswer {
  enum Kind { Answered, Silent, PortFailed };
  Kind kind = Silent;
  int typeCode = -1;  // byte 253
  int serial = -1;    // of its type; -1 for an unknown type

  // Two answers from the same device (type and serial number).
  bool sameDevice(const ProbeAnswer& other) const {
    return kind == Answered && other.kind == Answered && typeCode == other.typeCode && serial == other.serial;
  }
};

// Main thread.
ProbeAnswer probeDevice(std::uint16_t comNumber);

}  // namespace lk24::cli
