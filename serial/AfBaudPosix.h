#pragma once
// Arbitrary line rates through the kernel's termios2 interface, kept apart
// because its header cannot share a file with <termios.h>.

#include <cstdint>

// Sets input and output rate of the tty `fd` to `baud` bits per second.
bool AfSetAnyBaud(int fd, std::uint32_t baud);
// Reads the output rate of the tty `fd`; false when the driver cannot say.
bool AfGetAnyBaud(int fd, std::uint32_t& baud);
