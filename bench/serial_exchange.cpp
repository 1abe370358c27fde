// One command and its answer, through the port component on a pseudo-terminal
// against a minimal peer, next to a bare blocking termios loop on the same
// kind of terminal. Prints microseconds per exchange for both (medians of the
// runs, and the best run) and the ratio; then the same through the component
// with the byte trace (LK24_TRACE) on, beside it off, which is the default.
//   bench_serial_exchange [runs]
#include "ui/QtMainThreadWaker.h"
#include "serial/AfByteTrace.h"
#include "serial/AfComPort.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExchanges = 20000;
constexpr int kRounds = 5;

struct Pty {
  int master = -1;
  std::string slave;
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master);
    unlockpt(master);
    slave = ptsname(master);
  }
  ~Pty() { close(master); }
};

void MakeRaw(int fd) {
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
}

// The device: answers every byte with the next value, `count` times.
std::thread Peer(int master, int count) {
  return std::thread([master, count] {
    for (int i = 0; i < count; ++i) {
      std::uint8_t byte;
      while (read(master, &byte, 1) != 1) {
      }
      const std::uint8_t answer = std::uint8_t(byte + 1);
      while (write(master, &answer, 1) != 1) {
      }
    }
  });
}

double BareLoop() {
  Pty pty;
  MakeRaw(pty.master);
  const int slave = open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  MakeRaw(slave);
  std::thread peer = Peer(pty.master, kExchanges);
  std::uint8_t byte = 0;
  const auto start = Clock::now();
  for (int i = 0; i < kExchanges; ++i) {
    (void)!write(slave, &byte, 1);
    while (read(slave, &byte, 1) != 1) {
    }
  }
  const auto elapsed = Clock::now() - start;
  peer.join();
  close(slave);
  return std::chrono::duration<double, std::micro>(elapsed).count() / kExchanges;
}

double ThroughComponent(const std::string& tracePath = {}) {
  AfSetByteTracePath(tracePath);
  Pty pty;
  MakeRaw(pty.master);
  setenv("LK24_COM9", pty.slave.c_str(), 1);
  TAfComPort port;
  port.setName("RS232");
  port.setBaudRate(br19200);
  port.setComNumber(9);
  port.setEventThreadPriority(tpTimeCritical);
  port.setWriteThreadPriority(tpTimeCritical);
  int answers = 0;
  Clock::time_point end;
  // As the main window's receive handler: purge, read one byte, send the next.
  port.OnDataRecived = [&](TAfCustomSerialPort*, std::int32_t count) {
    if (count == 0) return;
    port.PurgeTx();
    const std::uint8_t byte = port.ReadChar();
    if (++answers == kExchanges) {
      end = Clock::now();
      QCoreApplication::quit();
      return;
    }
    port.WriteChar(byte);
  };
  port.Open();
  std::thread peer = Peer(pty.master, kExchanges);
  const auto start = Clock::now();
  port.WriteChar(0);
  QCoreApplication::exec();
  peer.join();
  port.Close();
  AfSetByteTracePath(std::nullopt);
  return std::chrono::duration<double, std::micro>(end - start).count() / kExchanges;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kRounds;
  // The two loops alternate, so that a busy machine weighs on both alike.
  std::vector<double> bare;
  std::vector<double> component;
  std::vector<double> ratios;
  for (int round = 0; round < rounds; ++round) {
    bare.push_back(BareLoop());
    component.push_back(ThroughComponent());
    ratios.push_back(component.back() / bare.back());
  }
  const double bestBare = *std::min_element(bare.begin(), bare.end());
  const double bestComponent = *std::min_element(component.begin(), component.end());
  std::printf("exchanges per run:      %d, %d runs of each\n", kExchanges, rounds);
  std::printf("bare termios loop:      %.1f us/exchange median, %.1f best\n", Median(bare), bestBare);
  std::printf("through TAfComPort:     %.1f us/exchange median, %.1f best\n", Median(component), bestComponent);
  std::printf("median ratio of pairs:  %.2f x (target <= 4 x)\n", Median(ratios));
  std::printf("TABLE|one exchange through TAfComPort on a pty (median)|%.1f us|bare termios loop %.1f us (target 4 x)|%.2f\n",
              Median(component), Median(bare), Median(ratios));

  // The trace's cost: off (the default, nothing on a byte's way) beside on.
  const std::string tracePath = "/tmp/lk24-bench-trace-" + std::to_string(getpid()) + ".txt";
  std::vector<double> untraced;
  std::vector<double> traced;
  for (int round = 0; round < rounds; ++round) {
    untraced.push_back(ThroughComponent());
    traced.push_back(ThroughComponent(tracePath));
  }
  std::remove(tracePath.c_str());
  std::printf("trace off (default):    %.1f us/exchange median\n", Median(untraced));
  std::printf("trace on (LK24_TRACE):  %.1f us/exchange median\n", Median(traced));
  std::printf("TABLE|one exchange with LK24_TRACE on (median)|%.1f us|trace off %.1f us|%.2f\n",
              Median(traced), Median(untraced), Median(traced) / Median(untraced));
  return 0;
}
