// Wire time of the simulated device: a read of the whole EEPROM at 19200
// baud, stop-and-wait by a plain termios client, against what the same read
// takes on a real line (256 exchanges of 3 bytes at 10 bits a byte).
// Also shows the simulator's own cost per exchange without wire time.

#include "tools/devsim/DeviceSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lk24::devsim::DeviceSimulator;
using lk24::devsim::Options;

constexpr int kBaud = 19200;
constexpr double kIdealSeconds = 256.0 * 3 * 10 / kBaud;
constexpr double kTolerance = 0.05;

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios settings{};
  ::tcgetattr(fd, &settings);
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &settings);
  return fd;
}

// Seconds for one read of all 256 addresses, or a negative value on failure.
double timeFullRead(int baud) {
  Options options;
  options.baud = baud;
  DeviceSimulator device(options);
  std::string error;
  if (!device.start(&error)) {
    std::fprintf(stderr, "cannot start the simulator: %s\n", error.c_str());
    return -1;
  }
  const int fd = openRaw(device.slavePath());
  if (fd < 0) return -1;
  const std::vector<std::uint8_t> wakeUp(25, 0x00);
  if (::write(fd, wakeUp.data(), wakeUp.size()) != static_cast<ssize_t>(wakeUp.size())) return -1;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the run cross the wire unanswered

  const auto begin = Clock::now();
  for (int address = 0; address < 256; ++address) {
    const std::uint8_t command[2] = {0xE6, static_cast<std::uint8_t>(address)};
    std::uint8_t answer = 0;
    if (::write(fd, command, 2) != 2 || ::read(fd, &answer, 1) != 1) {
      ::close(fd);
      return -1;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  ::close(fd);
  return seconds;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

  std::vector<double> bare;
  for (int i = 0; i < runs; ++i) bare.push_back(timeFullRead(0));
  std::printf("without wire time: %.1f us an exchange (median of %d reads)\n", median(bare) / 256 * 1e6, runs);

  std::vector<double> wire;
  for (int i = 0; i < runs; ++i) {
    wire.push_back(timeFullRead(kBaud));
    std::printf("  read %d at %d baud: %.4f s\n", i + 1, kBaud, wire.back());
  }
  const double measured = median(wire);
  const double deviation = (measured - kIdealSeconds) / kIdealSeconds;
  const bool within = std::abs(deviation) <= kTolerance && *std::min_element(wire.begin(), wire.end()) > 0;
  std::printf("read of 256 bytes at %d baud: measured %.4f s (median of %d), line %.4f s, limit %.4f..%.4f s: "
              "%+.2f %% %s\n",
              kBaud, measured, runs, kIdealSeconds, kIdealSeconds * (1 - kTolerance), kIdealSeconds * (1 + kTolerance),
              deviation * 100, within ? "within" : "OUTSIDE");
  std::printf("TABLE|simulator: read of 256 bytes at %d baud|%.4f s|wire time %.4f s|%.3f\n", kBaud, measured,
              kIdealSeconds, measured / kIdealSeconds);
  return within ? 0 : 1;
}
