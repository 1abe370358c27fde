#include "link/WriteImage.h"

#include "editor/ImageCorrections.h"

namespace lk24 {

void completeWriteImage(Table& writeImage, const Table& device) {
  // The serial numbers are the device's own, whatever the user's image says,
  // and so are the pauses derived from them.
  for (int a : {addr::kReceiverSerialHigh, addr::kReceiverSerialLow, addr::kTransmitterSerialHigh,
                addr::kTransmitterSerialLow}) {
    writeImage[a] = device[a];
  }
  derivePausesFromSerialNumber(writeImage);
  writeImage[addr::kChecksum] = calculatechecksum(writeImage);
}

}  // namespace lk24
