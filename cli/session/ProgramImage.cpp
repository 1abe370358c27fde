#include "cli/session/ProgramImage.h"

#include "editor/ImageCorrections.h"
#include "link/WriteImage.h"

namespace lk24::cli {

Table requestedImage(ConfigImage image, const Table& file) {
  image.DeviceImage = file;
  // The load and the request each refresh; the corrections are idempotent.
  (void)applyImageCorrections(image.DeviceImage);
  image.FilterUserData();
  return image.DeviceImage;
}

Table imageToProgram(const Table& requested, const Table& device) {
  Table write{};
  for (int a = 0; a <= addr::kLastWritten; ++a) write[a] = requested[a];
  completeWriteImage(write, device);
  return write;
}

}  // namespace lk24::cli
