#pragma once
// The image a program run writes into the device it has just read: the
// request's merged image with the device's own serial numbers, the pauses
// derived from them, and the EEPROM checksum over the result. The run and
// a verify against a file (lk24ctl) both take it from here.

#include "model/ConfigImage.h"

namespace lk24 {

// writeImage holds the request's merged image in bytes 0..247; device is the
// image just read. Completes writeImage in place.
void completeWriteImage(Table& writeImage, const Table& device);

}  // namespace lk24
