// The port engine without Qt: real pseudo-terminals, and the fake device for
// faults a pseudo-terminal cannot give.
#include "serial/AfComPortCore.h"

#include "FakeSerialDevice.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Entries = std::vector<EngineEvents::Entry>;

int CountKind(const Entries& entries, TAfCoreEvent kind, std::uint32_t bit = 0) {
  int n = 0;
  for (const auto& e : entries) n += e.kind == kind && (bit == 0 || (e.data & bit) != 0) ? 1 : 0;
  return n;
}

DCB Line19200() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = 19200;
  dcb.ByteSize = 8;
  dcb.Flags = dcb_Binary | dcb_DtrControlEnable | dcb_RtsControlEnable;
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  return dcb;
}

struct PtyEngine : ::testing::Test {
  static constexpr int kPort = 41;
  PtyPair pty;
  EngineEvents events;
  TAfComPortCore core;

  void SetUp() override {
    pty.BindTo(kPort);
    core.SetCallback(events.Callback());
    core.SetDCB(Line19200());
  }
};

TEST_F(PtyEngine, CarriesDataBothWaysAndReportsEveryArrival) {
  ASSERT_TRUE(core.OpenComPort(kPort));
  ASSERT_TRUE(core.Active());

  pty.Send({0x11});
  ASSERT_TRUE(events.WaitFor([](const Entries& e) { return CountKind(e, ceLineEvent) >= 1; },
                             2000));
  // The first byte stays unread; the second still is an arrival of its own.
  pty.Send({0x22, 0x33});
  ASSERT_TRUE(events.WaitFor([](const Entries& e) { return CountKind(e, ceLineEvent) >= 2; },
                             2000));
  for (const auto& e : events.Snapshot()) {
    if (e.kind == ceLineEvent) {
      EXPECT_EQ(e.data, EV_RXCHAR);
    }
  }
  COMSTAT status{};
  core.ComStatus(status);
  EXPECT_EQ(status.cbInQue, 3u);

  std::uint8_t in[8] = {};
  EXPECT_EQ(core.ReadData(in, 8), 3) << "a read returns at once with what is waiting";
  EXPECT_EQ(in[0], 0x11);
  EXPECT_EQ(in[2], 0x33);
  EXPECT_EQ(core.ReadData(in, 1), 0);

  const std::uint8_t out[] = {0xE6, 0x00, 0xE9, 0x10, 0x55};
  ASSERT_TRUE(core.WriteData(out, 5));
  EXPECT_EQ(pty.Receive(5, 2000), (std::vector<std::uint8_t>{0xE6, 0x00, 0xE9, 0x10, 0x55}));
  EXPECT_FALSE(core.WriteData(out, 0));
  EXPECT_FALSE(core.OpenComPort(kPort)) << "an active engine is not reopened";
  core.CloseComPort();
  EXPECT_FALSE(core.Active());
  EXPECT_EQ(core.ReadData(in, 1), -1);
  EXPECT_FALSE(core.WriteData(out, 1));
  EXPECT_EQ(core.OutBufFree(), 0);
}

TEST_F(PtyEngine, ReportsWaitingDataAgainAndAgainUntilItIsRead) {
  ASSERT_TRUE(core.OpenComPort(kPort));
  pty.Send({1, 2, 3});
  ASSERT_TRUE(events.WaitFor(
      [](const Entries& e) { return CountKind(e, ceDataWaiting) >= 3; }, 3000));
  const Entries seen = events.Snapshot();
  std::vector<std::chrono::steady_clock::time_point> polls;
  for (const auto& e : seen) {
    if (e.kind != ceDataWaiting) continue;
    EXPECT_EQ(e.data, 3u);
    polls.push_back(e.at);
  }
  for (std::size_t i = 1; i < polls.size(); ++i) {
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(polls[i] - polls[i - 1]);
    EXPECT_GE(gap.count(), 150) << "the idle poll follows a quiet line, not every pass";
  }
  std::uint8_t in[3];
  ASSERT_EQ(core.ReadData(in, 3), 3);
  std::this_thread::sleep_for(300ms);
  const int after = events.Count(ceDataWaiting);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(events.Count(ceDataWaiting), after) << "nothing waits, nothing is reported";
}

TEST_F(PtyEngine, ReportsOutputDrainedOncePerDrain) {
  ASSERT_TRUE(core.OpenComPort(kPort));
  const std::vector<std::uint8_t> block(300, 0x5A);
  for (int round = 1; round <= 3; ++round) {
    ASSERT_TRUE(core.WriteData(block.data(), std::int32_t(block.size())));
    ASSERT_EQ(pty.Receive(block.size(), 2000).size(), block.size());
    ASSERT_TRUE(events.WaitFor(
        [&](const Entries& e) { return CountKind(e, ceOutBufFree) >= round; }, 2000));
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(events.Count(ceOutBufFree), round);
    EXPECT_EQ(core.OutBufFree(), core.OutBufSize());
  }
}

TEST_F(PtyEngine, CloseDiscardsOutputStillQueued) {
  core.SetOutBufSize(16384);
  ASSERT_TRUE(core.OpenComPort(kPort));
  // The master reads nothing, so the terminal fills and output backs up.
  const std::vector<std::uint8_t> chunk(1024, 0xA5);
  std::size_t queued = 0;
  for (int stuck = 0; stuck < 100;) {
    if (core.OutBufFree() >= 1024) {
      ASSERT_TRUE(core.WriteData(chunk.data(), 1024));
      queued += 1024;
      stuck = 0;
    } else {
      ++stuck;
      std::this_thread::sleep_for(1ms);
    }
  }
  const std::int32_t stillQueued = core.OutBufSize() - core.OutBufFree();
  ASSERT_GT(stillQueued, 0) << "output did not back up";
  core.CloseComPort();
  // What the terminal took before the close may arrive; the rest never does.
  const auto arrived = pty.Receive(queued, 300);
  EXPECT_LT(arrived.size(), queued);
  EXPECT_TRUE(pty.Receive(1, 300).empty());
}

TEST_F(PtyEngine, PurgeTxDiscardsQueuedOutputAndReceiveSideIsPurgedToo) {
  ASSERT_TRUE(core.OpenComPort(kPort));
  EXPECT_TRUE(core.PurgeTx()) << "an idle write thread";
  const std::uint8_t out[] = {1, 2, 3};
  ASSERT_TRUE(core.WriteData(out, 3));
  EXPECT_TRUE(core.PurgeTx());
  EXPECT_EQ(core.OutBufFree(), core.OutBufSize());

  pty.Send({9, 9, 9});
  ASSERT_TRUE(events.WaitFor([](const Entries& e) { return CountKind(e, ceLineEvent) >= 1; },
                             2000));
  EXPECT_TRUE(core.PurgeRx());
  COMSTAT status{};
  core.ComStatus(status);
  EXPECT_EQ(status.cbInQue, 0u);
}

TEST(EngineOpen, RefusesMissingBusyAndInvalidPorts) {
  PtyPair pty;
  pty.BindTo(43);
  setenv("LK24_COM44", "/dev/lk24-no-such-port", 1);
  TAfComPortCore first;
  TAfComPortCore second;
  first.SetDCB(Line19200());
  second.SetDCB(Line19200());

  auto openError = [](TAfComPortCore& core, int number) -> std::string {
    try {
      core.OpenComPort(number);
    } catch (const EAfComPortCoreError& e) {
      return e.what();
    }
    return "opened";
  };
  EXPECT_EQ(openError(first, 0), "Invalid port number (COM0)");
  EXPECT_EQ(openError(first, -3), "Invalid port number (COM-3)");
  EXPECT_EQ(openError(first, 44), "Invalid port number (COM44)");
  EXPECT_FALSE(first.Active());

  ASSERT_EQ(openError(first, 43), "opened");
  EXPECT_EQ(openError(second, 43), "Can't open device COM43");
  EXPECT_FALSE(second.Active());
  first.CloseComPort();
  EXPECT_EQ(openError(second, 43), "opened") << "the refused engine is reusable";
  second.CloseComPort();
  unsetenv("LK24_COM44");
}

TEST(EngineOpen, OpenAndCloseAThousandTimesLeavesNoDescriptorOrThread) {
  PtyPair pty;
  pty.BindTo(45);
  TAfComPortCore core;
  core.SetDCB(Line19200());
  EngineEvents events;
  core.SetCallback(events.Callback());
  const int descriptors = CountOpenDescriptors();
  const int threads = CountEngineThreads();
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(core.OpenComPort(45)) << "cycle " << i;
    if (i % 100 == 0) {
      EXPECT_EQ(CountEngineThreads(), threads + 2);
    }
    core.CloseComPort();
  }
  EXPECT_EQ(CountOpenDescriptors(), descriptors);
  EXPECT_EQ(SettledEngineThreads(threads), threads);
}

// Counts the waits of a real device, to tell a waiting thread from a spinning one.
struct CountingDevice : TAfSerialDevice {
  std::unique_ptr<TAfSerialDevice> real;
  std::atomic<int>* waits;
  bool SetCommTimeouts(const COMMTIMEOUTS& t) override { return real->SetCommTimeouts(t); }
  bool SetupComm(std::int32_t i, std::int32_t o) override { return real->SetupComm(i, o); }
  bool SetCommMask(std::uint32_t m) override { return real->SetCommMask(m); }
  bool SetCommState(const DCB& d) override { return real->SetCommState(d); }
  bool GetCommState(DCB& d) override { return real->GetCommState(d); }
  bool BeginEventWaits() override { return real->BeginEventWaits(); }
  TAfWaitResult WaitCommEvent(std::span<TAfEvent* const> e, int ms) override {
    ++*waits;
    return real->WaitCommEvent(e, ms);
  }
  bool ClearCommError(std::uint32_t& e, COMSTAT& s) override { return real->ClearCommError(e, s); }
  bool PurgeComm(std::uint32_t f) override { return real->PurgeComm(f); }
  bool EscapeCommFunction(std::uint32_t f) override { return real->EscapeCommFunction(f); }
  std::int32_t Read(void* b, std::int32_t n) override { return real->Read(b, n); }
  TAfWriteResult Write(const void* b, std::int32_t n, std::span<TAfEvent* const> e) override {
    return real->Write(b, n, e);
  }
};

TEST(EngineHangUp, AVanishedPeerNeitherSpinsNorInventsEventsAndCloseReturns) {
  auto pty = std::make_unique<PtyPair>();
  pty->BindTo(46);
  std::atomic<int> waits{0};
  TAfComPortCore core;
  core.SetDCB(Line19200());
  core.SetDeviceFactory([&](int number) {
    TAfOpenResult opened = AfOpenPosixDevice(number);
    if (opened.device) {
      auto counting = std::make_unique<CountingDevice>();
      counting->real = std::move(opened.device);
      counting->waits = &waits;
      opened.device = std::move(counting);
    }
    return opened;
  });
  EngineEvents events;
  core.SetCallback(events.Callback());
  ASSERT_TRUE(core.OpenComPort(46));
  pty->Send({7});
  ASSERT_TRUE(events.WaitFor([](const Entries& e) { return CountKind(e, ceLineEvent) >= 1; },
                             2000));
  std::uint8_t byte;
  ASSERT_EQ(core.ReadData(&byte, 1), 1);

  pty.reset();  // the master goes away, as a pulled adapter would
  std::this_thread::sleep_for(100ms);
  events.Clear();
  const int before = waits.load();
  std::this_thread::sleep_for(1000ms);
  // About five idle polls in a second; a spinning loop would make thousands.
  EXPECT_LT(waits.load() - before, 30);
  EXPECT_EQ(CountKind(events.Snapshot(), ceLineEvent), 0);
  EXPECT_EQ(CountKind(events.Snapshot(), ceDataWaiting), 0);
  const std::uint8_t out[] = {1, 2};
  core.WriteData(out, 2);  // goes nowhere, must not wedge anything
  core.CloseComPort();
  EXPECT_FALSE(core.Active());
}

// --- faults from the fake device

struct FakeEngine : ::testing::Test {
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  EngineEvents events;
  TAfComPortCore core;

  void SetUp() override {
    core.SetDeviceFactory(FakeFactory(line));
    core.SetCallback(events.Callback());
    core.SetDCB(Line19200());
  }
  std::string OpenError() {
    try {
      core.OpenComPort(3);
    } catch (const EAfComPortCoreError& e) {
      return e.what();
    }
    return "opened";
  }
};

TEST_F(FakeEngine, RefusedSettingsFailTheOpenAndLeaveTheDevicesRecord) {
  line->refuseSettings = true;
  line->reportedRecord.BaudRate = 9600;
  line->reportedRecord.ByteSize = 7;
  const int threads = CountEngineThreads();
  EXPECT_EQ(OpenError(), "Error setting parameters from DCB");
  EXPECT_FALSE(core.Active());
  EXPECT_EQ(core.GetDCB().BaudRate, 9600u);
  EXPECT_EQ(core.GetDCB().ByteSize, 7);
  EXPECT_EQ(line->devicesAlive, 0);
  EXPECT_EQ(SettledEngineThreads(threads), threads);

  // Refused while open: the port stays open with what the device reports.
  line->refuseSettings = false;
  core.SetDCB(Line19200());
  ASSERT_EQ(OpenError(), "opened");
  line->refuseSettings = true;
  DCB odd = Line19200();
  odd.Parity = ODDPARITY;
  try {
    core.SetDCB(odd);
    ADD_FAILURE() << "refused settings were accepted";
  } catch (const EAfComPortCoreError& e) {
    EXPECT_STREQ(e.what(), "Error setting parameters from DCB");
  }
  EXPECT_TRUE(core.Active());
  EXPECT_EQ(core.GetDCB().Parity, NOPARITY);
}

TEST_F(FakeEngine, AnEventThreadThatNeverStartsFailsTheOpen) {
  line->holdEventThread = true;
  const int threads = CountEngineThreads();
  EXPECT_EQ(OpenError(), "Error creating threads");
  EXPECT_FALSE(core.Active());
  EXPECT_FALSE(core.Opened());
  EXPECT_EQ(line->devicesAlive, 0);
  EXPECT_EQ(SettledEngineThreads(threads), threads);
  line->holdEventThread = false;
  EXPECT_EQ(OpenError(), "opened");
}

TEST_F(FakeEngine, LineErrorsAndModemLinesArriveAsLineEvents) {
  ASSERT_EQ(OpenError(), "opened");
  line->Signal(EV_ERR, CE_FRAME | CE_OVERRUN);
  ASSERT_TRUE(events.WaitFor([](const Entries& e) { return CountKind(e, ceLineEvent) >= 1; },
                             2000));
  EXPECT_EQ(events.Snapshot().back().data, EV_ERR);
  COMSTAT status{};
  core.ComStatus(status);
  EXPECT_EQ(core.TakeLineErrors(), CE_FRAME | CE_OVERRUN);
  EXPECT_EQ(core.TakeLineErrors(), 0u);

  line->Signal(EV_BREAK);  // not in the engine's mask
  line->Signal(EV_CTS | EV_DSR | EV_RING | EV_RLSD);
  ASSERT_TRUE(events.WaitFor([](const Entries& e) { return CountKind(e, ceLineEvent) >= 2; },
                             2000));
  EXPECT_EQ(events.Snapshot().back().data, EV_CTS | EV_DSR | EV_RING | EV_RLSD);
}

TEST_F(FakeEngine, PurgeAndCloseInterruptAWriteThatCannotProceed) {
  line->blockWrites = true;
  ASSERT_EQ(OpenError(), "opened");
  const std::uint8_t out[] = {1, 2, 3, 4};
  ASSERT_TRUE(core.WriteData(out, 4));
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(core.PurgeTx());
  EXPECT_EQ(core.OutBufFree(), core.OutBufSize());
  EXPECT_EQ(events.Count(ceOutBufFree), 0) << "purged output was never written out";
  ASSERT_TRUE(core.WriteData(out, 4));
  core.CloseComPort();
  EXPECT_TRUE(line->sent.empty());
  EXPECT_EQ(line->devicesAlive, 0);
}

TEST_F(FakeEngine, CallbackErrorsComeBackAsExceptionEvents) {
  std::atomic<int> failures{0};
  std::exception_ptr reported;
  std::atomic<bool> gotException{false};
  core.SetCallback([&](TAfComPortCore*, TAfCoreEvent kind, std::uint32_t,
                       const std::exception_ptr& error) {
    if (kind == ceException) {
      reported = error;
      gotException = true;
      return;
    }
    if (kind == ceLineEvent && failures++ == 0) throw std::runtime_error("handler broke");
    if (kind == ceLineEvent) throw EAfSilentAbort();
  });
  ASSERT_EQ(OpenError(), "opened");
  line->Signal(EV_CTS);
  for (int i = 0; i < 200 && !gotException; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(gotException);
  try {
    std::rethrow_exception(reported);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "handler broke");
  }
  gotException = false;
  line->Signal(EV_DSR);  // a silent abort is dropped
  for (int i = 0; i < 50 && failures < 2; ++i) std::this_thread::sleep_for(10ms);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(failures, 2);
  EXPECT_FALSE(gotException);
  EXPECT_TRUE(core.Active());
}

TEST_F(FakeEngine, APurgeOnASlowLineNeitherWritesPurgedBytesNorLosesLaterOnes) {
  line->writeDelayMs = 30;
  ASSERT_EQ(OpenError(), "opened");
  const std::uint8_t a[] = {0xA1, 0xA2}, b[] = {0xB1}, c[] = {0xC1, 0xC2};
  std::vector<std::uint8_t> expected;
  for (int round = 0; round < 5; ++round) {
    int started;
    {
      std::lock_guard guard(line->lock);
      started = line->writesStarted;
    }
    ASSERT_TRUE(core.WriteData(a, 2));
    {
      // A is on its way and cannot be stopped.
      std::unique_lock guard(line->lock);
      ASSERT_TRUE(line->changed.wait_for(guard, 2s, [&] { return line->writesStarted > started; }));
    }
    ASSERT_TRUE(core.WriteData(b, 1));
    ASSERT_TRUE(core.PurgeTx());
    ASSERT_TRUE(core.WriteData(c, 2));
    expected.insert(expected.end(), {0xA1, 0xA2, 0xC1, 0xC2});
    ASSERT_TRUE(events.WaitFor([&](const Entries& e) { return CountKind(e, ceOutBufFree) > round; }, 2000));
    EXPECT_EQ(core.OutBufFree(), core.OutBufSize());
  }
  std::lock_guard guard(line->lock);
  EXPECT_EQ(line->sent, expected);
}

TEST_F(PtyEngine, ALineEventIsReportedBeforeTheOutputDrainedAtTheSameTime) {
  // The first event holds the event thread while both of the next arrive.
  std::mutex gate;
  std::unique_lock held(gate);
  std::vector<TAfCoreEvent> order;
  std::atomic<int> seen{0};
  core.SetCallback([&](TAfComPortCore*, TAfCoreEvent kind, std::uint32_t, const std::exception_ptr&) {
    if (seen++ == 0) std::lock_guard wait(gate);
    order.push_back(kind);
  });
  ASSERT_TRUE(core.OpenComPort(kPort));
  pty.Send({1});
  while (seen == 0) std::this_thread::sleep_for(1ms);
  std::uint8_t in;
  ASSERT_EQ(core.ReadData(&in, 1), 1);
  const std::uint8_t out[] = {2};
  ASSERT_TRUE(core.WriteData(out, 1));
  ASSERT_EQ(pty.Receive(1, 2000).size(), 1u);
  pty.Send({3});
  std::this_thread::sleep_for(20ms);
  held.unlock();
  while (seen < 3) std::this_thread::sleep_for(1ms);
  core.CloseComPort();
  EXPECT_EQ(order, (std::vector<TAfCoreEvent>{ceLineEvent, ceLineEvent, ceOutBufFree}));
}

}  // namespace
