// A short loop soak: lk24ctl's production loop with one disturbed presence
// probe answer, before the run and after it, and a device never unplugged,
// judged as bench_soak --loop-runs judges it. A failing seed replays there
// with `bench_soak --loop-runs 1 --seed S --verbose`.

#include "CtlProcess.h"
#include "bench/SoakLoopRun.h"

#include <gtest/gtest.h>

namespace lk24::test {
namespace {

TEST(CtlLoopSoak, OneDisturbedProbeAnswerNeverProgramsTheSameDeviceTwice) {
  const soak::LoopTools tools{ctlPath().toStdString(), LK24_SOURCE_DIR "/templates/LK24.ini"};
  int before = 0, after = 0;
  for (unsigned seed = 1; before < 2 || after < 1; ++seed) {
    const soak::LoopPlan plan = soak::planLoopRun(seed);
    if (plan.afterRun ? after >= 1 : before >= 2) continue;
    ++(plan.afterRun ? after : before);
    const soak::LoopOutcome outcome = soak::runLoop(plan, tools);
    std::string problems;
    for (const std::string& p : outcome.problems) problems += "\n  " + p;
    EXPECT_TRUE(outcome.problems.empty()) << "seed " << seed << ", answer " << *plan.device.noisyAnswer << ": "
                                          << outcome.summary << problems;
  }
}

}  // namespace
}  // namespace lk24::test
