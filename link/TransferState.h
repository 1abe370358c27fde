#pragma once
// The state of a running transfer. Three flags make five states:
//   Idle        none set
//   Reading     ReadMode                (read request)
//   Pre-reading ReadMode + ProgramMode  (program run, first pass)
//   Writing     ProgramMode
//   Verifying   VerifyMode              (program run, read-back)

#include <cstdint>

namespace lk24 {

struct TransferState {
  bool ReadMode = false;
  bool ProgramMode = false;
  bool VerifyMode = false;
  // Address of the byte now requested or written; equally the bytes done in this pass.
  std::int32_t BytePos = 0;

  bool running() const { return ReadMode || ProgramMode || VerifyMode; }
};

}  // namespace lk24
