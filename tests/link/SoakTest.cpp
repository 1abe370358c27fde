// A short soak: reads and program runs through the real serial stack against
// the simulated device, a few of each fault kind with fixed seeds, judged by
// the same checks as bench_soak. A failing seed replays there with
// `bench_soak --seed S --runs 1 --fault KIND --verbose`. A failure while the
// machine held the process back is attempted again, as there.

#include "bench/SoakRun.h"

#include <gtest/gtest.h>

#include <string>

namespace lk24::test {
namespace {

using soak::Fault;

constexpr int kRunsPerKind = 4;  // two reads and two program runs

std::string problemsOf(const soak::Plan& plan, const soak::Outcome& outcome) {
  std::string text = "seed " + std::to_string(plan.seed) + (plan.program ? " program" : " read") + ", log: " +
                     outcome.summary;
  for (const std::string& p : outcome.problems) text += "\n  " + p;
  return text;
}

class SoakKind : public ::testing::TestWithParam<Fault> {};

TEST_P(SoakKind, EveryRunEndsAsItsFaultDemandsAndLeavesNothingBehind) {
  const Fault fault = GetParam();
  soak::Harness harness;
  soak::Resources afterFirst{};
  const unsigned base = 1000 + 100 * static_cast<unsigned>(fault);
  for (int i = 0; i < kRunsPerKind; ++i) {
    const soak::Plan plan = soak::planRun(base + static_cast<unsigned>(i), fault);
    const soak::Outcome outcome = harness.runSteadily(plan);
    EXPECT_TRUE(outcome.problems.empty()) << problemsOf(plan, outcome);
    if (i == 0) afterFirst = soak::sampleResources();
  }
  const soak::Resources afterLast = soak::sampleResources();
  EXPECT_LE(afterLast.descriptors, afterFirst.descriptors);
  EXPECT_LE(afterLast.threads, afterFirst.threads);
}

INSTANTIATE_TEST_SUITE_P(Faults, SoakKind,
                         ::testing::Values(Fault::None, Fault::Jitter, Fault::StopAfter, Fault::WrongEcho,
                                           Fault::Garbage, Fault::BadChecksum, Fault::Vanish, Fault::Retry,
                                           Fault::StuckRetry, Fault::NoisyPreRead),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           std::string name = soak::faultName(info.param);
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

// The judge must notice a device that does not behave as the plan says,
// or every pass above would mean nothing.
TEST(SoakJudge, NoticesAnEndingThatDoesNotFitTheFault) {
  soak::Harness harness;

  soak::Plan read = soak::planRun(10, Fault::None);  // even seed: a read
  ASSERT_FALSE(read.program);
  read.device.stopAfter = 30;
  const soak::Outcome stopped = harness.run(read);
  ASSERT_FALSE(stopped.problems.empty());
  EXPECT_EQ(stopped.problems[0], "expected success, got: " + linktext::transferError(30));

  soak::Plan program = soak::planRun(11, Fault::None);  // odd seed: a program run
  ASSERT_TRUE(program.program);
  program.device.wrongEchoAt = 20;
  const soak::Outcome refused = harness.run(program);
  ASSERT_FALSE(refused.problems.empty());
  EXPECT_EQ(refused.problems[0], "expected success, got: " + linktext::transferError(20));
}

}  // namespace
}  // namespace lk24::test
