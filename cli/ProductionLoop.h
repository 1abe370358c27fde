#pragma once
// "program --each": one device after another on one port until SIGINT or
// SIGTERM. After a device is done the loop waits until it stops answering
// (unplugged), then until the next one answers, and programs it.

#include "model/ConfigImage.h"

#include <QString>

namespace lk24::cli {

class InterruptWatch;
class ProgressLine;
struct PortChoice;

// One line per device on stdout (with json, one JSON document per line).
// Returns 0 when every device succeeded, else the exit status of the last
// device that did not.
int runProductionLoop(const ConfigImage& templateImage, const Table& file, const PortChoice& port,
                      const QString& templatePath, bool json, const InterruptWatch* interrupts,
                      ProgressLine& progress);

}  // namespace lk24::cli
