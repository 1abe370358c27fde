// The serial port component: the record it builds, its properties, its
// errors, and events on the main thread over pseudo-terminals and the fake.
#include "serial/AfComPort.h"
#include "serial/AfUtils.h"

#include "FakeSerialDevice.h"
#include "SerialTestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool OnMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

struct Port : TAfComPort {
  Port() { setName("RS232"); }
  using TAfCustomSerialPort::UpdateDCB;
};

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

TEST(ComPortRecord, FlagWordsForEachFlowControlAndOption) {
  Port port;
  EXPECT_EQ(port.LineSettings().Flags, 0x1011u) << "binary, DTR and RTS enabled";
  EXPECT_EQ(port.LineSettings().BaudRate, 115200u);
  EXPECT_EQ(port.LineSettings().ByteSize, 8);
  EXPECT_EQ(port.LineSettings().DCBlength, sizeof(DCB));

  const std::pair<TAfFlowControl, std::uint32_t> flows[] = {
      {fwXOnXOff, 0x1311}, {fwRtsCts, 0x2015}, {fwDtrDsr, 0x1029}, {fwNone, 0x1011}};
  for (auto [flow, flags] : flows) {
    port.setFlowControl(flow);
    EXPECT_EQ(port.LineSettings().Flags, flags) << flow;
  }
  const std::pair<TAfComOption, std::uint32_t> options[] = {{coParityCheck, 0x2},
                                                            {coDsrSensitivity, 0x40},
                                                            {coIgnoreXOff, 0x80},
                                                            {coErrorChar, 0x400},
                                                            {coStripNull, 0x800}};
  for (auto [option, flag] : options) {
    port.setOptions({option});
    EXPECT_EQ(port.LineSettings().Flags, 0x1011u | flag) << option;
  }
  port.setOptions({});
  // DTR and RTS are not rebuilt into the record until the next rebuild.
  port.setDTR(false);
  port.setRTS(false);
  EXPECT_EQ(port.LineSettings().Flags, 0x1011u);
  port.UpdateDCB();
  EXPECT_EQ(port.LineSettings().Flags, 0x1u);
}

TEST(ComPortRecord, FramingRatesAndXonXoffLimits) {
  Port port;
  port.setDatabits(db7);
  port.setParity(paEven);
  port.setStopbits(sbTwo);
  port.setXOnChar(0x51);
  EXPECT_EQ(port.LineSettings().ByteSize, 7);
  EXPECT_EQ(port.LineSettings().Parity, EVENPARITY);
  EXPECT_EQ(port.LineSettings().StopBits, TWOSTOPBITS);
  EXPECT_EQ(port.LineSettings().XonChar, 0x51);
  EXPECT_EQ(port.LineSettings().XoffChar, 19);

  port.setUserBaudRate(31250);
  EXPECT_EQ(port.BaudRate(), brUser);
  EXPECT_EQ(port.LineSettings().BaudRate, 31250u);
  port.setBaudRate(br19200);
  EXPECT_EQ(port.UserBaudRate(), 0);
  EXPECT_EQ(port.LineSettings().BaudRate, 19200u);
  port.setUserBaudRate(0);  // its own value: no change, so no rate of 0
  EXPECT_EQ(port.BaudRate(), br19200);
  EXPECT_EQ(port.LineSettings().BaudRate, 19200u);
  EXPECT_EQ(AfBaudRateValue(br256000), 256000u);
  EXPECT_EQ(AfBaudRateValue(br14400), 14400u);

  port.setXOnLim(1000);
  EXPECT_EQ(port.XOffLim(), 3096);
  port.setXOffLim(4000);
  EXPECT_EQ(port.XOnLim(), 96);
  EXPECT_EQ(port.LineSettings().XonLim, 0) << "limits wait for the next rebuild";
  port.setFlowControl(fwXOnXOff);
  EXPECT_EQ(port.XOnLim(), 1024);
  EXPECT_EQ(port.XOffLim(), 3072);
  EXPECT_EQ(port.LineSettings().XoffLim, 3072);
  port.setInBufSize(100000);  // the limits are cut to 16 bits
  EXPECT_EQ(port.XOnLim(), 25000);
  EXPECT_EQ(port.XOffLim(), std::uint16_t(75000));
  port.setFlowControl(fwNone);
  EXPECT_EQ(port.XOnLim(), 0);
  EXPECT_EQ(port.XOffLim(), 0);
}

TEST(ComPortClosed, OperationsOnAClosedPort) {
  Port port;
  int closes = 0;
  port.OnPortClose = [&](TAfCustomSerialPort* sender) {
    EXPECT_EQ(sender, &port);
    ++closes;
  };
  EXPECT_EQ(ErrorOf([&] { port.Close(); }), "no error");
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(ErrorOf([&] { port.ReadChar(); }), "Read data error - RS232 ");
  EXPECT_EQ(ErrorOf([&] { port.WriteChar(1); }), "Write data error [requested: 1, free: 0] - RS232 ");
  EXPECT_EQ(ErrorOf([&] { port.PurgeRx(); port.PurgeTx(); }), "no error");
  EXPECT_EQ(port.OutBufFree(), 0);
  port.setComNumber(0);
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Invalid port number (COM0)");
}

struct PtyPort : ::testing::Test {
  static constexpr std::uint16_t kPort = 51;
  PtyPair pty;
  Port port;
  int opens = 0;
  int closes = 0;

  void SetUp() override {
    pty.BindTo(kPort);
    port.setBaudRate(br19200);
    port.setComNumber(kPort);
    port.OnPortOpen = [this](TAfCustomSerialPort*) { ++opens; };
    port.OnPortClose = [this](TAfCustomSerialPort*) { ++closes; };
  }
};

TEST_F(PtyPort, EveryArrivalIsADataEventOnTheMainThreadAndAnswersGoOut) {
  std::vector<std::int32_t> counts;
  std::vector<std::uint8_t> received;
  bool allOnMain = true;
  port.OnDataRecived = [&](TAfCustomSerialPort* sender, std::int32_t count) {
    EXPECT_EQ(sender, &port);
    allOnMain = allOnMain && OnMainThread();
    counts.push_back(count);
    if (count == 0) return;
    port.PurgeTx();
    const std::uint8_t byte = port.ReadChar();
    received.push_back(byte);
    port.WriteChar(std::uint8_t(byte + 1));
  };
  port.Open();
  ASSERT_TRUE(port.Active());
  EXPECT_EQ(opens, 1);
  for (std::uint8_t i = 0; i < 40; ++i) {
    pty.Send({i});
    ASSERT_EQ(pty.Receive(1, 0).size(), 0u);
    bool answered = false;
    std::vector<std::uint8_t> answer;
    ASSERT_TRUE(PumpUntil(
        [&] {
          answer = pty.Receive(1, 0);
          answered = !answer.empty();
          return answered;
        },
        3000))
        << "no answer to byte " << int(i);
    EXPECT_EQ(answer[0], std::uint8_t(i + 1));
  }
  EXPECT_TRUE(allOnMain);
  EXPECT_EQ(received.size(), 40u);
  // One data event per arrival; an idle poll that meets a byte just as it
  // arrives may add an event with nothing left to read, never one more byte.
  EXPECT_EQ(std::count_if(counts.begin(), counts.end(), [](std::int32_t c) { return c > 0; }), 40);
  port.Close();
  EXPECT_EQ(closes, 1);
}

TEST_F(PtyPort, UnreadBytesAreReportedAgainByTheIdlePoll) {
  std::vector<std::int32_t> counts;
  std::vector<TAfCoreEvent> kinds;
  port.OnSyncEvent = [&](TAfCustomSerialPort*, TAfCoreEvent kind, std::uint32_t) { kinds.push_back(kind); };
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t count) { counts.push_back(count); };
  port.Open();
  pty.Send({5, 6});
  ASSERT_TRUE(PumpUntil([&] { return counts.size() >= 3; }, 3000));
  EXPECT_EQ(counts.back(), 2);
  int polls = 0;
  for (TAfCoreEvent kind : kinds) polls += kind == ceDataWaiting ? 1 : 0;
  EXPECT_GE(polls, 1);
  std::uint8_t two[2];
  port.ReadData(two, 2);
  EXPECT_EQ(two[1], 6);
}

TEST_F(PtyPort, OpenTwiceComNumberAndPropertiesOnAnOpenPort) {
  port.Open();
  port.Open();
  EXPECT_EQ(opens, 1) << "an open port is not reopened";
  port.setComNumber(kPort);
  EXPECT_EQ(opens + closes, 1) << "the same number does nothing";

  // The rate changes on the line at once.
  port.setBaudRate(br9600);
  termios t{};
  ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
  EXPECT_EQ(ErrorOf([&] { port.setInBufSize(1024); }), "Port is not closed - RS232 ");
  EXPECT_EQ(ErrorOf([&] { port.setOutBufSize(1024); }), "Port is not closed - RS232 ");
  EXPECT_EQ(port.InBufSize(), 4096);
  EXPECT_EQ(ErrorOf([&] { port.WriteData(nullptr, 0); }),
            "Write data error [requested: 0, free: 2048] - RS232 ");
  EXPECT_EQ(ErrorOf([&] { port.ReadChar(); }), "Read data error - RS232 ");
  EXPECT_TRUE(port.Active()) << "errors leave the port open";

  PtyPair other;
  other.BindTo(kPort + 1);
  port.setComNumber(kPort + 1);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(opens, 2);
  EXPECT_TRUE(port.Active());
  port.WriteChar(0x42);
  EXPECT_EQ(other.Receive(1, 2000), std::vector<std::uint8_t>{0x42});
}

TEST_F(PtyPort, AFailedOpenLeavesThePortClosedAndReusable) {
  Port holder;
  holder.setComNumber(kPort);
  holder.Open();
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Can't open device COM51");
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(opens, 0);
  holder.Close();
  port.Open();
  EXPECT_TRUE(port.Active());
  port.Close();

  port.setOutBufSize(-1);
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Error initializing buffers");
  EXPECT_FALSE(port.Active());
  port.setOutBufSize(2048);

  port.setDatabits(db7);  // a pseudo-terminal keeps 8 bits only
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Error setting parameters from DCB");
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(port.LineSettings().ByteSize, 7) << "a closed port keeps the record it built";
  port.setDatabits(db8);
  port.Open();
  EXPECT_TRUE(port.Active());
}

TEST_F(PtyPort, HandlerErrorsGoToTheErrorDisplayAndThePortGoesOn) {
  ErrorCapture errors;
  int calls = 0;
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t) {
    ++calls;
    port.ReadChar();
    port.ReadChar();  // only one byte came
  };
  port.Open();
  pty.Send({1});
  ASSERT_TRUE(PumpUntil([&] { return !errors.Messages().empty(); }, 3000));
  EXPECT_EQ(errors.Messages()[0], "Read data error - RS232 ");
  pty.Send({2});
  ASSERT_TRUE(PumpUntil([&] { return calls >= 2; }, 3000));
  EXPECT_TRUE(port.Active());
}

TEST(ComPortLifetime, DestroyingAnOpenPortStopsItWithoutACloseEvent) {
  PtyPair pty;
  pty.BindTo(53);
  const int threads = CountEngineThreads();
  int closes = 0;
  {
    Port port;
    port.setComNumber(53);
    port.OnPortClose = [&](TAfCustomSerialPort*) { ++closes; };
    port.Open();
    EXPECT_EQ(CountEngineThreads(), threads + 2);
  }
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(SettledEngineThreads(threads), threads);
}

// --- the fake device: line events a pseudo-terminal never gives

struct FakePort : ::testing::Test {
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  Port port;
  std::vector<std::string> fired;

  void SetUp() override {
    port.Core().SetDeviceFactory(FakeFactory(line));
    port.setComNumber(1);
    auto note = [this](const char* name) { return [this, name](TAfCustomSerialPort*) { fired.push_back(name); }; };
    port.OnCTSChanged = note("CTS");
    port.OnDSRChanged = note("DSR");
    port.OnRINGDetected = note("RING");
    port.OnRLSDChanged = note("RLSD");
    port.OnOutBufFree = note("OutBufFree");
    port.OnSyncEvent = [this](TAfCustomSerialPort*, TAfCoreEvent kind, std::uint32_t) {
      fired.push_back("Sync" + std::to_string(kind));
    };
    port.OnLineError = [this](TAfCustomSerialPort*, std::uint32_t errors) {
      fired.push_back("LineError" + std::to_string(errors));
    };
  }
};

TEST_F(FakePort, LineEventsFireTheirHandlersInOrder) {
  port.Open();
  line->Signal(EV_ERR | EV_CTS | EV_DSR | EV_RING | EV_RLSD, CE_FRAME | CE_OVERRUN);
  ASSERT_TRUE(PumpUntil([&] { return fired.size() >= 6; }, 3000));
  EXPECT_EQ(fired, (std::vector<std::string>{"Sync1", "LineError10", "CTS", "DSR", "RING",
                                             "RLSD"}));
  fired.clear();
  port.WriteChar(7);
  ASSERT_TRUE(PumpUntil([&] { return fired.size() >= 2; }, 3000));
  EXPECT_EQ(fired, (std::vector<std::string>{"Sync0", "OutBufFree"}));
}

TEST_F(FakePort, RefusedSettingsOnAnOpenPortKeepTheDevicesRecord) {
  port.Open();
  line->refuseSettings = true;
  EXPECT_EQ(ErrorOf([&] { port.setParity(paOdd); }), "Error setting parameters from DCB");
  EXPECT_EQ(port.Parity(), paOdd) << "the property keeps its new value";
  EXPECT_EQ(port.LineSettings().Parity, NOPARITY) << "the record is what the device runs";
  EXPECT_TRUE(port.Active());
}

TEST_F(FakePort, AnEventLateForTheMainThreadKeepsItsOwnKindAndData) {
  std::vector<std::pair<TAfCoreEvent, std::uint32_t>> seen;
  port.OnSyncEvent = [&](TAfCustomSerialPort*, TAfCoreEvent kind, std::uint32_t data) {
    seen.emplace_back(kind, data);
  };
  port.Open();
  line->Receive({1, 2, 3});
  // The main thread stays busy past the hand-over's time-out; meanwhile the
  // idle poll hands over the next event.
  std::this_thread::sleep_for(2400ms);
  ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 2; }, 3000));
  EXPECT_EQ(seen[0], std::make_pair(ceLineEvent, EV_RXCHAR));
  EXPECT_EQ(seen[1], std::make_pair(ceDataWaiting, 3u));
}

TEST_F(FakePort, NonSyncEventsStayOnTheEventThreadAndTheirErrorsReachTheMainThread) {
  ErrorCapture errors;
  std::atomic<int> offMain{0};
  std::atomic<int> onMain{0};
  port.OnNonSyncEvent = [&](TAfCustomSerialPort*, TAfCoreEvent, std::uint32_t) {
    if (OnMainThread()) {
      ++onMain;
    } else {
      ++offMain;
    }
    throw std::runtime_error("on the event thread");
  };
  int dataEvents = 0;
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t) { ++dataEvents; };
  port.Open();
  line->Receive({9});
  ASSERT_TRUE(PumpUntil([&] { return !errors.Messages().empty(); }, 3000));
  EXPECT_EQ(errors.Messages()[0], "on the event thread");
  EXPECT_GE(offMain.load(), 1);
  EXPECT_EQ(onMain.load(), 0);
  EXPECT_EQ(dataEvents, 0);
}

TEST_F(FakePort, AWriteThreadThatDiedLeavesPurgeUnacknowledged) {
  ErrorCapture errors;
  line->failWrites = true;
  port.Open();
  port.WriteChar(1);
  ASSERT_TRUE(PumpUntil([&] { return !errors.Messages().empty(); }, 3000));
  EXPECT_EQ(errors.Messages()[0], "device write failed");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Core().PurgeTx());
  EXPECT_GE(std::chrono::steady_clock::now() - started, 1900ms) << "it waited for the ack";
  EXPECT_EQ(port.OutBufFree(), 2047) << "an unacknowledged purge leaves the queue alone";
  port.Close();  // and the close still returns
  EXPECT_FALSE(port.Active());
}

TEST_F(FakePort, AHandlerMayCloseThePortWhoseEventItHandles) {
  int closes = 0;
  port.OnPortClose = [&](TAfCustomSerialPort*) { ++closes; };
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t) { port.Close(); };
  port.Open();
  line->Receive({1});
  ASSERT_TRUE(PumpUntil([&] { return closes == 1; }, 3000));
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(SettledEngineThreads(0), 0);
  port.Open();
  EXPECT_TRUE(port.Active()) << "and open it again";
}

TEST_F(FakePort, CloseDropsAnEventOnItsWayToTheMainThread) {
  int dataEvents = 0;
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t) { ++dataEvents; };
  port.Open();
  line->Receive({1});
  std::this_thread::sleep_for(100ms);  // the hand-over waits for the main thread
  port.Close();
  port.Open();
  PumpEvents(100);
  EXPECT_EQ(dataEvents, 0);
}

}  // namespace

namespace {

// Modem lines and error counters through the ioctl seam on a real pty, which
// has none: the seam gives them as a USB adapter would.
std::atomic<int> seamLines{0}, seamFrames{0}, seamModemReads{0};

struct SeamPort : ::testing::Test {
  PtyPair pty;
  Port port;
  void SetUp() override {
    AfSetSystemCalls({nullptr, nullptr, [](int fd, unsigned long request, void* arg) {
                        if (request == TIOCMGET) ++seamModemReads, *static_cast<int*>(arg) = seamLines;
                        if (request == TIOCGICOUNT) {
                          *static_cast<serial_icounter_struct*>(arg) = serial_icounter_struct{};
                          static_cast<serial_icounter_struct*>(arg)->frame = seamFrames;
                        }
                        return request == TIOCMGET || request == TIOCGICOUNT ? 0 : ::ioctl(fd, request, arg);
                      }});
    pty.BindTo(73);
    port.setComNumber(73);
  }
  void TearDown() override {
    port.Close();
    AfSetSystemCalls({});
  }
};

TEST_F(SeamPort, ModemLinesAreNotReadWithoutAHandlerForThem) {
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t) { port.ReadChar(); };
  port.Open();
  const int atOpen = seamModemReads;
  pty.Send({1, 2, 3});
  PumpEvents(300);
  EXPECT_EQ(seamModemReads, atOpen) << "no bus request per byte or per poll";
}

TEST_F(SeamPort, NoStatusReadSwallowsAModemChangeOrALineError) {
  int cts = 0;
  std::vector<std::uint32_t> errors;
  port.OnCTSChanged = [&](TAfCustomSerialPort*) { ++cts; };
  port.OnLineError = [&](TAfCustomSerialPort*, std::uint32_t e) { errors.push_back(e); };
  port.Open();
  for (int round = 1; round <= 20; ++round) {
    seamLines ^= TIOCM_CTS;
    ++seamFrames;
    COMSTAT status{};
    port.Core().ComStatus(status);  // a status read right away
    ASSERT_TRUE(PumpUntil([&] { return cts == round && int(errors.size()) == round; }, 3000))
        << "round " << round << ": " << cts << " CTS, " << errors.size() << " errors";
    EXPECT_EQ(errors.back(), CE_FRAME);
  }
}

}  // namespace
