#include "serial/AfSafeSync.h"
#include "serial/AfUtils.h"

#include "SerialTestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Frees every slot a test registered, also when the test fails.
struct SlotGuard {
  std::vector<std::uint32_t> ids;
  std::uint32_t Add(TAfSafeSyncHandler handler) {
    const std::uint32_t id = SafeSyncRegister(std::move(handler));
    if (id != 0) ids.push_back(id);
    return id;
  }
  ~SlotGuard() {
    for (std::uint32_t id : ids) SafeSyncUnregister(id);
  }
};

TEST(SafeSync, IdsCountUpAndSkipZeroWhenWrapping) {
  std::uint32_t counter = 0;
  EXPECT_EQ(AfSafeSyncNextId(counter), 1u);
  EXPECT_EQ(AfSafeSyncNextId(counter), 2u);
  counter = 0xFFFFFFFEu;
  EXPECT_EQ(AfSafeSyncNextId(counter), 0xFFFFFFFFu);
  EXPECT_EQ(AfSafeSyncNextId(counter), 1u);
}

TEST(SafeSync, SixtyFifthRegistrationGetsNoSlot) {
  // No port holds a slot here: the whole table of 64 is free to take.
  SlotGuard registered;
  std::uint32_t previous = 0;
  int taken = 0;
  while (taken < 100) {
    const std::uint32_t id = registered.Add([](const std::any&) {});
    if (id == 0) break;
    EXPECT_GT(id, previous);
    previous = id;
    ++taken;
  }
  EXPECT_EQ(taken, 64);
  EXPECT_EQ(SafeSyncRegister([](const std::any&) {}), 0u);
  // A freed slot is taken again with a fresh id.
  const std::uint32_t freed = registered.ids.back();
  ASSERT_TRUE(SafeSyncUnregister(freed));
  registered.ids.pop_back();
  EXPECT_FALSE(SafeSyncUnregister(freed));
  const std::uint32_t again = registered.Add([](const std::any&) {});
  EXPECT_NE(again, 0u);
  EXPECT_NE(again, freed);
}

TEST(SafeSync, RunsTheHandlerOnTheMainThreadWithItsPayload) {
  SlotGuard registered;
  std::vector<int> seen;
  std::atomic<bool> onMain{true};
  const std::uint32_t id = registered.Add([&](const std::any& payload) {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) onMain = false;
    seen.push_back(std::any_cast<int>(payload));
  });
  ASSERT_NE(id, 0u);
  EXPECT_FALSE(SafeSyncCall(id, 100, 1)) << "a registered slot starts disabled";
  ASSERT_TRUE(SafeSyncEnable(id, true));

  std::atomic<int> results{0};
  std::thread worker([&] {
    for (int i = 1; i <= 5; ++i) results += SafeSyncCall(id, 2000, i) ? 1 : 0;
  });
  PumpUntil([&] { return seen.size() == 5; }, 5000);
  worker.join();
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(results, 5);
  EXPECT_TRUE(onMain);
  // From the main thread itself the handler runs at once.
  EXPECT_TRUE(SafeSyncCall(id, 100, 6));
  EXPECT_EQ(seen.back(), 6);
}

TEST(SafeSync, BusyMainThreadMakesTheCallWaitOutItsTimeoutAndStillSucceed) {
  SlotGuard registered;
  int runs = 0;
  const std::uint32_t id = registered.Add([&](const std::any&) { ++runs; });
  ASSERT_TRUE(SafeSyncEnable(id, true));
  std::atomic<bool> result{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = SafeSyncCall(id, 150, {});
    done = true;
  });
  // The main thread does not pump events while the call times out.
  while (!done) std::this_thread::sleep_for(5ms);
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(runs, 0);
  // The late event still runs the handler once; no waiter is left behind.
  PumpUntil([&] { return runs == 1; }, 2000);
  EXPECT_EQ(runs, 1);
}

TEST(SafeSync, DisablingWakesACallInFlightAtOnce) {
  SlotGuard registered;
  int runs = 0;
  const std::uint32_t id = registered.Add([&](const std::any&) { ++runs; });
  ASSERT_TRUE(SafeSyncEnable(id, true));
  std::atomic<bool> result{true};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = SafeSyncCall(id, 60000, {});
    done = true;
  });
  std::this_thread::sleep_for(50ms);
  ASSERT_FALSE(done);
  ASSERT_TRUE(SafeSyncEnable(id, false));
  // Well below the call's own time-out of a minute.
  for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(done);
  worker.join();
  EXPECT_FALSE(result);
  // Re-enabling does not revive the dropped call.
  ASSERT_TRUE(SafeSyncEnable(id, true));
  PumpEvents(50);
  EXPECT_EQ(runs, 0);
  EXPECT_FALSE(SafeSyncEnable(0, true));
}

TEST(SafeSync, HandlerErrorGoesToTheErrorDisplayNotToTheCaller) {
  SlotGuard registered;
  ErrorCapture errors;
  const std::uint32_t id =
      registered.Add([](const std::any&) { throw std::runtime_error("handler failed"); });
  ASSERT_TRUE(SafeSyncEnable(id, true));
  std::atomic<bool> result{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = SafeSyncCall(id, 2000, {});
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 5000);
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(errors.Messages(), (std::vector<std::string>{"handler failed"}));
}

}  // namespace
