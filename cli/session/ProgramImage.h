#pragma once
// What "program" would write, for "verify" to compare against without
// writing anything.

#include "model/ConfigImage.h"

namespace lk24::cli {

// "Laden" of file and the program request's first steps: the refresh's
// image corrections, then the merge with the template's masks and factory
// values. template tables come from image; its DeviceImage is not used.
Table requestedImage(ConfigImage image, const Table& file);

// The bytes 0..247 that a program run with the requested image writes into
// the device whose image is device (its serial numbers and derived pauses).
Table imageToProgram(const Table& requested, const Table& device);

}  // namespace lk24::cli
