#pragma once
// The state of a running transfer: one phase, and under the three flag names
// the window and its tests know it by:
//   Idle        none set
//   Reading     ReadMode                (read request)
//   Pre-reading ReadMode + ProgramMode  (program run, first pass)
//   Writing     ProgramMode
//   Verifying   VerifyMode              (program run, read-back)

#include <cstdint>

namespace lk24 {

enum class Phase { Idle, Reading, PreReading, Writing, Verifying };

// A read of bytes already read once, to tell line noise from the device's
// own bytes: the bytes a program run takes from the device and those outside
// the checksum, read again after its pre-read, or a whole image whose
// checksum was wrong.
enum class SecondRead { None, DeviceBytes, WholeImage };

struct TransferState {
  Phase phase = Phase::Idle;
  // Address of the byte now requested or written; equally the bytes done in this pass.
  std::int32_t BytePos = 0;
  SecondRead Second = SecondRead::None;
  // Device bytes read again so far; BytePos names the address being read.
  std::int32_t SecondIndex = 0;

  bool ReadMode() const { return phase == Phase::Reading || phase == Phase::PreReading; }
  bool ProgramMode() const { return phase == Phase::PreReading || phase == Phase::Writing; }
  bool VerifyMode() const { return phase == Phase::Verifying; }
  bool running() const { return phase != Phase::Idle; }
};

}  // namespace lk24
