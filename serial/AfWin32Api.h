#pragma once
// <windows.h> for the files that also use the engine's platform record:
// Windows names its own DCB, COMSTAT and COMMTIMEOUTS and defines the EV_,
// CE_, PURGE_ and parity constants as macros. Its types are renamed here to
// WinDCB, WinCOMSTAT and WinCOMMTIMEOUTS and its macros dropped; the
// engine's constants have the same values, so they serve both.

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define DCB WinDCB
#define COMSTAT WinCOMSTAT
#define COMMTIMEOUTS WinCOMMTIMEOUTS
#include <windows.h>
#undef DCB
#undef COMSTAT
#undef COMMTIMEOUTS

#undef EV_RXCHAR
#undef EV_CTS
#undef EV_DSR
#undef EV_RLSD
#undef EV_BREAK
#undef EV_ERR
#undef EV_RING
#undef CE_RXOVER
#undef CE_OVERRUN
#undef CE_RXPARITY
#undef CE_FRAME
#undef CE_BREAK
#undef PURGE_TXABORT
#undef PURGE_RXABORT
#undef PURGE_TXCLEAR
#undef PURGE_RXCLEAR
#undef SETRTS
#undef CLRRTS
#undef SETDTR
#undef CLRDTR
#undef NOPARITY
#undef ODDPARITY
#undef EVENPARITY
#undef MARKPARITY
#undef SPACEPARITY
#undef ONESTOPBIT
#undef ONE5STOPBITS
#undef TWOSTOPBITS

#include "serial/AfPlatform.h"
