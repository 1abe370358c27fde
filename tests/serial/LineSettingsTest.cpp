// The termios device: settings read back from the pseudo-terminal's master
// side, so that setting and reading use the same flag words.
#include "serial/AfPlatform.h"
#include "serial/AfBaudPosix.h"
#include "serial/AfTermiosSettingsPosix.h"

#include "SerialTestSupport.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace {

DCB BaseRecord() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = 19200;
  dcb.ByteSize = 8;
  dcb.Flags = dcb_Binary;
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  return dcb;
}

struct LineSettings : ::testing::Test {
  PtyPair pty;
  std::unique_ptr<TAfSerialDevice> device;

  void SetUp() override {
    pty.BindTo(61);
    TAfOpenResult opened = AfOpenPosixDevice(61);
    ASSERT_TRUE(opened.device) << "errno " << opened.systemError;
    device = std::move(opened.device);
  }
  termios MasterView() const {
    termios t{};
    EXPECT_EQ(tcgetattr(pty.master(), &t), 0);
    return t;
  }
};

TEST_F(LineSettings, EveryTableRateReadsBack) {
  const std::uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                 19200, 38400, 56000, 57600, 115200, 128000, 256000, 31250};
  for (std::uint32_t rate : rates) {
    DCB dcb = BaseRecord();
    dcb.BaudRate = rate;
    ASSERT_TRUE(device->SetCommState(dcb)) << rate;
    std::uint32_t seen = 0;
    ASSERT_TRUE(AfGetAnyBaud(pty.master(), seen));
    EXPECT_EQ(seen, rate);
    DCB back{};
    ASSERT_TRUE(device->GetCommState(back));
    EXPECT_EQ(back.BaudRate, rate);
  }
  DCB dcb = BaseRecord();
  dcb.BaudRate = 19200;
  ASSERT_TRUE(device->SetCommState(dcb));
  EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(MasterView())), speed_t(B19200));
}

TEST_F(LineSettings, FramingIsRawAndReadsBack) {
  constexpr tcflag_t framing = CSIZE | PARENB | CSTOPB;
  for (std::uint8_t stop : {TWOSTOPBITS, ONESTOPBIT}) {
    DCB dcb = BaseRecord();
    dcb.StopBits = stop;
    ASSERT_TRUE(device->SetCommState(dcb)) << int(stop);
    const termios t = MasterView();
    EXPECT_EQ(t.c_cflag & framing, CS8 | (stop == TWOSTOPBITS ? CSTOPB : 0u));
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_NE(t.c_iflag & IGNBRK, 0u) << "a line break must not read as a 0x00 answer";
    DCB back{};
    ASSERT_TRUE(device->GetCommState(back));
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.Parity, NOPARITY);
    EXPECT_EQ(back.StopBits, stop);
  }
}

TEST_F(LineSettings, FramingTheDriverDropsIsRefusedAndTheOldSettingsStay) {
  // A pseudo-terminal always runs 8 bits without parity and says so only
  // when read back; the device must not report such a record as applied.
  DCB good = BaseRecord();
  good.StopBits = TWOSTOPBITS;
  ASSERT_TRUE(device->SetCommState(good));
  DCB sevenEven = BaseRecord();
  sevenEven.ByteSize = 7;
  sevenEven.Parity = EVENPARITY;
  EXPECT_FALSE(device->SetCommState(sevenEven));
  DCB back{};
  ASSERT_TRUE(device->GetCommState(back));
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.Parity, NOPARITY);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
}

TEST_F(LineSettings, FlowControlAndParityCheckReadBack) {
  struct Case {
    std::uint32_t flags;
    tcflag_t iflags, cflags;
  };
  const Case cases[] = {
      {dcb_Binary, 0, 0},
      {dcb_Binary | dcb_OutX | dcb_InX, IXON | IXOFF, 0},
      {dcb_Binary | dcb_OutxCtsFlow | dcb_RtsControlHandshake, 0, CRTSCTS},
      {dcb_Binary | dcb_Parity, INPCK, 0},
  };
  for (const Case& c : cases) {
    DCB dcb = BaseRecord();
    dcb.Flags = c.flags;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    ASSERT_TRUE(device->SetCommState(dcb)) << std::hex << c.flags;
    const termios t = MasterView();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), c.iflags) << std::hex << c.flags;
    EXPECT_EQ(t.c_cflag & CRTSCTS, c.cflags) << std::hex << c.flags;
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    DCB back{};
    ASSERT_TRUE(device->GetCommState(back));
    EXPECT_EQ(back.Flags, c.flags) << "set and read back disagree";
  }
}

TEST_F(LineSettings, WhatTheLineCannotDoIsRefusedAndLeavesTheSettings) {
  DCB good = BaseRecord();
  ASSERT_TRUE(device->SetCommState(good));
  auto refused = [&](auto change) {
    DCB dcb = BaseRecord();
    change(dcb);
    return !device->SetCommState(dcb);
  };
  EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 4; }));
  EXPECT_TRUE(refused([](DCB& d) { d.Parity = 5; }));
  EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; }));
  EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
  EXPECT_TRUE(refused([](DCB& d) { d.Flags |= dcb_OutxDsrFlow | dcb_DtrControlHandshake; }));
  EXPECT_EQ(MasterView().c_cflag & CSIZE, tcflag_t(CS8));
  // A pseudo-terminal has no modem lines; driving them is no failure.
  EXPECT_TRUE(device->EscapeCommFunction(SETDTR));
  EXPECT_TRUE(device->EscapeCommFunction(CLRRTS));
  EXPECT_FALSE(device->EscapeCommFunction(99));
}

TEST(PortPath, ANonTerminalIsRefusedNotMistakenForAMissingPort) {
  setenv("LK24_COM8", "/dev/null", 1);
  const TAfOpenResult opened = AfOpenPosixDevice(8);
  EXPECT_FALSE(opened.device);
  EXPECT_EQ(opened.error, TAfOpenResult::Refused);
  unsetenv("LK24_COM8");
}

}  // namespace

namespace {

// Data bits and parity cannot be seen through a pseudo-terminal, so their
// helpers are checked against a termios record directly, both ways.
TEST(TermiosHelpers, DataBitsParityAndStopBitsRoundTrip) {
  struct Case {
    std::uint8_t size, parity, stop;
    tcflag_t cflags;
  };
  const Case cases[] = {
      {8, NOPARITY, ONESTOPBIT, CS8},
      {7, EVENPARITY, ONESTOPBIT, CS7 | PARENB},
      {7, ODDPARITY, TWOSTOPBITS, CS7 | PARENB | PARODD | CSTOPB},
      {6, MARKPARITY, ONESTOPBIT, CS6 | PARENB | PARODD | CMSPAR},
      {5, SPACEPARITY, ONE5STOPBITS, CS5 | PARENB | CMSPAR | CSTOPB},
  };
  for (const Case& c : cases) {
    termios t{};
    AfMakeRaw(t);
    t.c_cflag |= PARENB | CSTOPB;  // leftovers the helpers must clear
    ASSERT_TRUE(AfApplyByteSize(t, c.size));
    ASSERT_TRUE(AfApplyParity(t, c.parity, false));
    ASSERT_TRUE(AfApplyStopBits(t, c.stop, c.size));
    EXPECT_EQ(t.c_cflag & AfCheckedCflags, c.cflags) << int(c.size) << int(c.parity);
    DCB back{};
    AfTermiosToDCB(t, back);
    EXPECT_EQ(back.ByteSize, c.size);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stop);
  }
  termios t{};
  EXPECT_FALSE(AfApplyStopBits(t, TWOSTOPBITS, 5));
  EXPECT_FALSE(AfApplyByteSize(t, 9));
}

}  // namespace
