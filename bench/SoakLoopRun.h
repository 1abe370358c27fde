#pragma once
// One run of lk24ctl's production loop (`program --each`) against a
// simulated device that is never unplugged, with one disturbed answer drawn
// from the run's seed: among the presence probes before the device is
// programmed, or among those after. Whatever the disturbance, the device is
// programmed once and gets one record row; a row "ok" has a backup that is
// the device's EEPROM before, byte for byte, and a failed one without a
// backup left the EEPROM as it was. bench_soak --loop-runs repeats it; the
// command-line tests run a few seeds.

#include "tools/devsim/DeviceSimulator.h"

#include <string>
#include <vector>

namespace lk24::soak {

// Presence probe answers: type, serial number high and low byte.
constexpr int kProbeAnswers = 3;

struct LoopPlan {
  unsigned seed = 0;
  devsim::Options device;  // with noisyAnswer set
  bool afterRun = false;   // the disturbed answer comes after the program run
  std::vector<int> changedBytes;  // where the configuration differs from the device
};

LoopPlan planLoopRun(unsigned seed);

struct LoopOutcome {
  std::vector<std::string> problems;  // empty: the run passed
  std::string summary;                // what lk24ctl printed, for the report
  double seconds = 0;
};

// lk24ctl to start, and the template it finds beside the configuration.
struct LoopTools {
  std::string lk24ctl;
  std::string templateFile;
};

// The run in a scratch folder of its own; main thread.
LoopOutcome runLoop(const LoopPlan& plan, const LoopTools& tools);

}  // namespace lk24::soak
