#include "serial/AfTermiosSettingsPosix.h"

namespace {

struct BaudEntry {
  std::uint32_t rate;
  speed_t code;
};
constexpr BaudEntry standardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::uint32_t BaudOf(const termios& t) {
  const speed_t code = cfgetospeed(&t);
  for (const BaudEntry& entry : standardRates) {
    if (entry.code == code) return entry.rate;
  }
  return 0;
}

}  // namespace

// False when the rate has no constant and must go through termios2.
bool AfApplyBaud(termios& t, std::uint32_t rate) {
  for (const BaudEntry& entry : standardRates) {
    if (entry.rate == rate) {
      cfsetispeed(&t, entry.code);
      cfsetospeed(&t, entry.code);
      return true;
    }
  }
  return false;
}

bool AfApplyByteSize(termios& t, std::uint8_t size) {
  static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  if (size < 5 || size > 8) return false;
  t.c_cflag = (t.c_cflag & ~tcflag_t(CSIZE)) | sizes[size - 5];
  return true;
}

bool AfApplyParity(termios& t, std::uint8_t parity, bool check) {
  static constexpr tcflag_t modes[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                       PARENB | CMSPAR};
  if (parity > SPACEPARITY) return false;
  t.c_cflag = (t.c_cflag & ~tcflag_t(PARENB | PARODD | CMSPAR)) | modes[parity];
  t.c_iflag &= ~tcflag_t(INPCK | IGNPAR | PARMRK);
  if (check) t.c_iflag |= INPCK;
  return true;
}

// One and a half stop bits exist only with 5 data bits, two only with more.
bool AfApplyStopBits(termios& t, std::uint8_t stopBits, std::uint8_t size) {
  if (stopBits > TWOSTOPBITS) return false;
  if (stopBits == ONE5STOPBITS && size != 5) return false;
  if (stopBits == TWOSTOPBITS && size == 5) return false;
  t.c_cflag &= ~tcflag_t(CSTOPB);
  if (stopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
  return true;
}

// DSR handshaking has no termios counterpart, so a record asking for it is
// refused rather than silently run without it.
bool AfApplyFlowControl(termios& t, const DCB& dcb) {
  if ((dcb.Flags & dcb_OutxDsrFlow) != 0 ||
      (dcb.Flags & dcb_DtrControlMask) == dcb_DtrControlHandshake) {
    return false;
  }
  t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
  if ((dcb.Flags & dcb_OutX) != 0) t.c_iflag |= IXON;
  if ((dcb.Flags & dcb_InX) != 0) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = cc_t(dcb.XonChar);
  t.c_cc[VSTOP] = cc_t(dcb.XoffChar);
  t.c_cflag &= ~tcflag_t(CRTSCTS);
  if ((dcb.Flags & dcb_OutxCtsFlow) != 0 ||
      (dcb.Flags & dcb_RtsControlMask) == dcb_RtsControlHandshake) {
    t.c_cflag |= CRTSCTS;
  }
  return true;
}

void AfMakeRaw(termios& t) {
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  // A line break (a device switched off) is no 0x00 answer; the error
  // counters still see it.
  t.c_iflag |= IGNBRK;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

void AfTermiosToDCB(const termios& t, DCB& dcb) {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = BaudOf(t);
  static constexpr std::uint8_t sizes[] = {5, 6, 7, 8};
  dcb.ByteSize = sizes[(t.c_cflag & CSIZE) == CS5   ? 0
                       : (t.c_cflag & CSIZE) == CS6 ? 1
                       : (t.c_cflag & CSIZE) == CS7 ? 2
                                                    : 3];
  if ((t.c_cflag & PARENB) == 0) {
    dcb.Parity = NOPARITY;
  } else if ((t.c_cflag & CMSPAR) != 0) {
    dcb.Parity = (t.c_cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
  } else {
    dcb.Parity = (t.c_cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
  }
  if ((t.c_cflag & CSTOPB) == 0) {
    dcb.StopBits = ONESTOPBIT;
  } else {
    dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  }
  auto setFlag = [&dcb](std::uint32_t flag, bool on) {
    dcb.Flags = on ? (dcb.Flags | flag) : (dcb.Flags & ~flag);
  };
  setFlag(dcb_OutX, (t.c_iflag & IXON) != 0);
  setFlag(dcb_InX, (t.c_iflag & IXOFF) != 0);
  setFlag(dcb_Parity, (t.c_iflag & INPCK) != 0);
  const bool cts = (t.c_cflag & CRTSCTS) != 0;
  setFlag(dcb_OutxCtsFlow, cts);
  if (cts) {
    dcb.Flags = (dcb.Flags & ~dcb_RtsControlMask) | dcb_RtsControlHandshake;
  } else if ((dcb.Flags & dcb_RtsControlMask) == dcb_RtsControlHandshake) {
    dcb.Flags &= ~dcb_RtsControlMask;
  }
  dcb.XonChar = char(t.c_cc[VSTART]);
  dcb.XoffChar = char(t.c_cc[VSTOP]);
}

