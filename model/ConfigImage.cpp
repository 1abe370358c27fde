#include "model/ConfigImage.h"

namespace lk24 {

void ConfigImage::presetForStartup() {
  DeviceImage.fill(0x01);
  AndMask.fill(0x00);
  OrMask.fill(0x00);
  FactoryImage.fill(0x00);
}

void ConfigImage::FilterUserData() {
  for (int i = 0; i < kImageSize; ++i) {
    const std::uint8_t userBits = DeviceImage[i] & AndMask[i];
    const std::uint8_t factoryBits =
        static_cast<std::uint8_t>(~AndMask[i]) & OrMask[i] & FactoryImage[i];
    DeviceImage[i] = static_cast<std::uint8_t>(userBits | factoryBits);
  }
}

std::uint8_t calculatechecksum(const Table& image) {
  unsigned sum = 0;
  for (int i = 0; i <= addr::kLastChecksummed; ++i) sum += image[i];
  return static_cast<std::uint8_t>(sum & 0xFF);
}

}  // namespace lk24
