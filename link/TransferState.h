#pragma once
// The state of a running transfer. Three flags make five states:
//   Idle        none set
//   Reading     ReadMode                (read request)
//   Pre-reading ReadMode + ProgramMode  (program run, first pass)
//   Writing     ProgramMode
//   Verifying   VerifyMode              (program run, read-back)

#include <cstdint>

namespace lk24 {

// A read of bytes already read once, to tell line noise from the device's
// own bytes: the bytes a program run takes from the device, read again after
// its pre-read, or a whole image whose checksum was wrong.
enum class SecondRead { None, DeviceBytes, WholeImage };

struct TransferState {
  bool ReadMode = false;
  bool ProgramMode = false;
  bool VerifyMode = false;
  // Address of the byte now requested or written; equally the bytes done in this pass.
  std::int32_t BytePos = 0;
  SecondRead Second = SecondRead::None;
  // Device bytes read again so far; BytePos names the address being read.
  std::int32_t SecondIndex = 0;

  bool running() const { return ReadMode || ProgramMode || VerifyMode; }
};

}  // namespace lk24
