#pragma once
// One helper per line setting, each editing a termios from the line-settings
// record; each refuses (false) what the termios interface cannot express.

#include "serial/AfPlatform.h"

#include <termios.h>

// Fields the driver must keep for a record to count as applied.
inline constexpr tcflag_t AfCheckedCflags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
inline constexpr tcflag_t AfCheckedIflags = IXON | IXOFF | INPCK;

// False when the rate has no B constant and must go through termios2.
bool AfApplyBaud(termios& t, std::uint32_t rate);
bool AfApplyByteSize(termios& t, std::uint8_t size);
bool AfApplyParity(termios& t, std::uint8_t parity, bool check);
bool AfApplyStopBits(termios& t, std::uint8_t stopBits, std::uint8_t size);
bool AfApplyFlowControl(termios& t, const DCB& dcb);
// Raw bytes, receiver on, modem status ignored, reads that never wait.
void AfMakeRaw(termios& t);
// Every field termios holds goes into `dcb`; the others keep their values.
// The rate is the B constant's; termios2 rates are read separately.
void AfTermiosToDCB(const termios& t, DCB& dcb);
