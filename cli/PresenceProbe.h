#pragma once
// Whether a device answers on a port, asked the way every request starts:
// the wake-up run, then one read command for address 0, with the response
// time-out of a transfer. The port is open only during the question.

#include <cstdint>

namespace lk24::cli {

// Main thread, inside a QCoreApplication. A port that cannot be opened
// counts as no answer (an unplugged adapter disappears with its device).
bool deviceAnswers(std::uint16_t comNumber);

}  // namespace lk24::cli
