// Fault-injection soak: many reads and program runs, alternating, through the
// real serial stack and the device link against the simulated device, each
// with a fault drawn from its seed. Prints the runs per fault kind, every
// mismatch with the command that replays it, and whether descriptors,
// threads or memory grew from run to run.
//
//   bench_soak [--runs N] [--seed S] [--fault KIND] [--slack-ms MS] [--attempts A] [--warmup W]
//              [--window-every W] [--verbose] [--trace FILE]
//   bench_soak --loop-runs N [--seed S] [--verbose]
//
// Run i uses seed S + i, so `bench_soak --seed S --runs 1` replays run S.
// Every run whose seed is a multiple of W (default 8; KIND "close" for all)
// goes through the real window instead, with a close request during the
// transfer: the window must let it end, then close and write LK24.ini.
// A run that fails while the machine held the process back for a quarter of
// the time the protocol leaves the tool to spare (50 ms of the 200 ms between
// answers, 12 ms with 150 ms of jitter) is run again, up to --attempts times
// in all, and listed: no code keeps those windows on a machine that stops it.
// --loop-runs runs lk24ctl's production loop instead, N times from seed S,
// each with one disturbed presence probe answer (bench/SoakLoopRun.h).

#include "ui/QtMainThreadWaker.h"
#include "bench/SoakLoopRun.h"
#include "bench/SoakRun.h"
#include "bench/SoakWindowRun.h"

#include <QApplication>
#include <QPixmapCache>
#include <QElapsedTimer>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

using namespace lk24;
using namespace lk24::soak;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers keep freed memory and shadow state on purpose; their own
// leak and race reports stand in for the memory figure.
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif
constexpr long kMemoryBudgetKb = 4096;  // allowed growth of the resident set after the warm-up

struct Settings {
  int runs = 2000;
  int loopRuns = 0;  // lk24ctl's production loop instead
  unsigned seed = 1;
  std::optional<Fault> fault;
  Limits limits;
  int warmup = 20;
  int windowEvery = 8;  // 0: never through the window
  bool closeOnly = false;
  bool verbose = false;  // one line per run with what the log said
  std::string trace;     // the simulator's byte trace, for replaying one run
};

bool parse(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--verbose") {
      s.verbose = true;
      continue;
    }
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return false;
    if (arg == "--runs") {
      s.runs = std::atoi(value);
    } else if (arg == "--loop-runs") {
      s.loopRuns = std::atoi(value);
    } else if (arg == "--seed") {
      s.seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
    } else if (arg == "--slack-ms") {
      s.limits.slackMs = std::atoi(value);
    } else if (arg == "--attempts") {
      s.limits.attempts = std::atoi(value);
    } else if (arg == "--warmup") {
      s.warmup = std::atoi(value);
    } else if (arg == "--trace") {
      s.trace = value;
    } else if (arg == "--window-every") {
      s.windowEvery = std::atoi(value);
    } else if (arg == "--fault" && std::string(value) == "close") {
      s.closeOnly = true;
    } else if (arg == "--fault") {
      s.fault = faultNamed(value);
      if (!s.fault) return false;
    } else {
      return false;
    }
    ++i;
  }
  return s.runs > 0 && s.loopRuns >= 0 && s.warmup >= 0 && s.limits.attempts > 0 && s.windowEvery >= 0;
}

// The production loop's runs; 0 when every one passed.
int soakTheLoop(const Settings& settings) {
  const LoopTools tools{LK24_CTL_PATH, LK24_SOURCE_DIR "/templates/LK24.ini"};
  int failed = 0;
  QElapsedTimer total;
  total.start();
  for (int i = 0; i < settings.loopRuns; ++i) {
    const LoopPlan plan = planLoopRun(settings.seed + static_cast<unsigned>(i));
    const LoopOutcome outcome = runLoop(plan, tools);
    const char* when = plan.afterRun ? "after" : "before";
    if (settings.verbose) {
      std::printf("loop seed %u, answer %d disturbed (%s the run), %.1f s: %s\n", plan.seed, *plan.device.noisyAnswer,
                  when, outcome.seconds, outcome.summary.c_str());
    }
    if (outcome.problems.empty()) continue;
    ++failed;
    std::string line = "MISMATCH loop seed " + std::to_string(plan.seed) + " (answer " +
                       std::to_string(*plan.device.noisyAnswer) + ", " + when + " the run): ";
    for (std::size_t p = 0; p < outcome.problems.size(); ++p) line += (p ? "; " : "") + outcome.problems[p];
    std::printf("%s  -- replay: bench_soak --loop-runs 1 --seed %u\n", line.c_str(), plan.seed);
    std::fflush(stdout);
  }
  const double seconds = static_cast<double>(total.elapsed()) / 1000.0;
  std::printf("loop runs %d, passed %d, %.1f s\n", settings.loopRuns, settings.loopRuns - failed, seconds);
  std::printf("TABLE|soak loop runs passed (one disturbed probe answer)|%d of %d|%d runs|%.3f\n",
              settings.loopRuns - failed, settings.loopRuns, settings.loopRuns,
              static_cast<double>(settings.loopRuns - failed) / settings.loopRuns);
  return failed == 0 ? 0 : 1;
}

struct KindCount {
  int reads = 0, programs = 0, passed = 0;
  std::array<int, kEndingKinds> endings{};
};

}  // namespace

int main(int argc, char** argv) {
  // The window runs need no screen.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  QApplication::setQuitOnLastWindowClosed(false);
  // Qt's pixmap cache fills up to its 10 MB limit as windows come and go: a
  // cache, not growth. Kept off, the memory figure shows what really grows.
  QPixmapCache::setCacheLimit(0);
  Settings settings;
  if (!parse(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: bench_soak [--runs N] [--seed S] [--fault KIND] [--slack-ms MS] [--attempts A]\n"
                 "                  [--warmup W] [--window-every W] [--verbose] [--trace FILE]\n"
                 "       bench_soak --loop-runs N [--seed S] [--verbose]\n"
                 "  KIND: none jitter stop-after wrong-echo garbage bad-checksum vanish retry stuck-retry\n"
                 "        noisy-pre-read close\n");
    return 2;
  }
  if (settings.loopRuns > 0) return soakTheLoop(settings);
  const int warmup = std::min(settings.warmup, settings.runs - 1);
  std::printf("LK24 soak: %d runs from seed %u%s%s\n", settings.runs, settings.seed,
              settings.fault ? ", fault " : "", settings.fault ? faultName(*settings.fault) : "");
  std::fflush(stdout);

  Harness harness;
  WindowHarness windowHarness(QStringLiteral(LK24_SOURCE_DIR "/templates/LK24.ini"));
  constexpr int kCloseKind = kFaultKinds;  // the window runs' row
  std::map<int, KindCount> kinds;
  std::vector<std::string> mismatches;
  Resources baseline{};
  Resources highest{};
  double slowest = 0;
  int longestStall = 0;
  int rerun = 0;
  QElapsedTimer total;
  total.start();

  for (int i = 0; i < settings.runs; ++i) {
    const unsigned seed = settings.seed + static_cast<unsigned>(i);
    const bool throughWindow = settings.closeOnly || (settings.windowEvery > 0 && seed % settings.windowEvery == 0);
    Plan plan = planRun(seed, settings.fault);
    if (!settings.trace.empty()) plan.device.traceFile = settings.trace;
    Outcome outcome;
    if (throughWindow) {
      WindowPlan windowPlan = planWindowRun(seed);
      if (!settings.trace.empty()) windowPlan.device.traceFile = settings.trace;
      outcome = windowHarness.runSteadily(windowPlan, settings.limits);
      plan.program = windowPlan.program;
    } else {
      outcome = harness.runSteadily(plan, settings.limits);
    }
    const int kind = throughWindow ? kCloseKind : static_cast<int>(plan.fault);
    const char* kindName = throughWindow ? "close" : faultName(plan.fault);
    slowest = std::max(slowest, outcome.seconds);
    longestStall = std::max(longestStall, outcome.stallMs);
    for (const std::string& spoilt : outcome.stalledTries) {
      ++rerun;
      std::printf("RERUN seed %u (%s, %s) after %s\n", plan.seed, plan.program ? "program" : "read",
                  kindName, spoilt.c_str());
    }

    const Resources now = sampleResources();
    if (i == warmup) baseline = highest = now;
    if (i > warmup) {
      if (now.descriptors > baseline.descriptors) {
        outcome.problems.push_back("descriptors " + std::to_string(baseline.descriptors) + " -> " +
                                   std::to_string(now.descriptors));
      }
      if (now.threads > baseline.threads) {
        outcome.problems.push_back("threads " + std::to_string(baseline.threads) + " -> " +
                                   std::to_string(now.threads));
      }
      highest.descriptors = std::max(highest.descriptors, now.descriptors);
      highest.threads = std::max(highest.threads, now.threads);
      highest.rssKb = std::max(highest.rssKb, now.rssKb);
    }

    if (settings.verbose) {
      std::printf("seed %u %-7s %-12s %5.2f s (transfer %5.2f s, stall %d ms)  %s\n", plan.seed,
                  plan.program ? "program" : "read", kindName, outcome.seconds,
                  outcome.transferSeconds, outcome.stallMs, outcome.summary.c_str());
    }
    KindCount& count = kinds[kind];
    ++(plan.program ? count.programs : count.reads);
    ++count.endings[outcome.ending];
    if (outcome.problems.empty()) {
      ++count.passed;
    } else {
      std::string line = "MISMATCH seed " + std::to_string(plan.seed) + " (" + (plan.program ? "program" : "read") +
                         ", " + kindName + "): ";
      for (std::size_t p = 0; p < outcome.problems.size(); ++p) line += (p ? "; " : "") + outcome.problems[p];
      line += " [stall " + std::to_string(outcome.stallMs) + " ms, attempt " + std::to_string(outcome.attempts) + "]";
      line += "  -- replay: bench_soak --seed " + std::to_string(plan.seed) + " --runs 1" +
              (settings.fault ? std::string(" --fault ") + faultName(plan.fault) : "") +
              (settings.closeOnly ? " --fault close" : "");
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
      mismatches.push_back(line);
    }
    if ((i + 1) % 100 == 0) {
      std::fprintf(stderr, "  %d runs, %zu mismatches, %.0f s\n", i + 1, mismatches.size(),
                   static_cast<double>(total.elapsed()) / 1000.0);
    }
  }
  const double seconds = static_cast<double>(total.elapsed()) / 1000.0;
  const Resources last = sampleResources();
  const long memoryGrowth = last.rssKb - baseline.rssKb;
  const bool memoryGrew = kMeasureMemory && settings.runs > warmup + 1 && memoryGrowth > kMemoryBudgetKb;
  if (memoryGrew) {
    mismatches.push_back("memory grew by " + std::to_string(memoryGrowth) + " kB after the warm-up");
  }

  int passed = 0;
  std::printf("\n%-13s %6s %8s %7s   endings\n", "fault", "reads", "programs", "passed");
  for (int k = 0; k <= kCloseKind; ++k) {
    const KindCount c = kinds[k];
    passed += c.passed;
    std::string endings;
    for (int e = 0; e < kEndingKinds; ++e) {
      if (c.endings[e] == 0) continue;
      endings += (endings.empty() ? "" : ", ") + std::string(endingName(static_cast<Ending::Kind>(e))) + " " +
                 std::to_string(c.endings[e]);
    }
    std::printf("%-13s %6d %8d %7d   %s\n", k == kCloseKind ? "close" : faultName(static_cast<Fault>(k)), c.reads,
                c.programs, c.passed,
                endings.c_str());
  }
  std::printf("runs %d, passed %d, mismatches %zu, %.1f s (%.0f ms a run, slowest %.2f s)\n", settings.runs,
              passed, mismatches.size(), seconds, seconds * 1000.0 / settings.runs, slowest);
  std::printf("after the warm-up of %d runs: descriptors %d (highest %d), threads %d (highest %d), "
              "resident %ld kB -> %ld kB (%+ld kB%s)\n",
              warmup, baseline.descriptors, highest.descriptors, baseline.threads, highest.threads,
              baseline.rssKb, last.rssKb, memoryGrowth, kMeasureMemory ? "" : ", not judged under a sanitizer");
  std::printf("attempts spoilt by a stall of the machine, run again: %d (longest stall %d ms)\n", rerun,
              longestStall);
  if (memoryGrew) std::printf("%s\n", mismatches.back().c_str());

  std::printf("TABLE|soak runs passed (read/program, 10 fault kinds, close requests)|%d of %d|%d runs|%.3f\n", passed,
              settings.runs, settings.runs, static_cast<double>(passed) / settings.runs);
  std::printf("TABLE|soak time per run|%.0f ms|-|-\n", seconds * 1000.0 / settings.runs);
  std::printf("TABLE|soak runs attempted again after a machine stall|%d|%d runs|%.3f\n", rerun, settings.runs,
              static_cast<double>(rerun) / settings.runs);
  std::printf("TABLE|soak descriptor growth after warm-up|%d|0|-\n", highest.descriptors - baseline.descriptors);
  std::printf("TABLE|soak thread growth after warm-up|%d|0|-\n", highest.threads - baseline.threads);
  if (kMeasureMemory) {
    std::printf("TABLE|soak resident memory growth after warm-up|%ld kB|budget %ld kB|%.2f\n", memoryGrowth,
                kMemoryBudgetKb, static_cast<double>(memoryGrowth) / kMemoryBudgetKb);
  }
  return mismatches.empty() ? 0 : 1;
}
