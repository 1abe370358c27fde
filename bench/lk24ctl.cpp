// lk24ctl's read and program commands at zero latency against the simulated
// device, whole processes as a user starts them, next to a bare blocking
// termios loop that puts the same bytes on the same simulator; and what the
// program costs before it does anything: the start of `lk24ctl --version`
// and the shared libraries the dynamic loader maps for it. One run.
//
//   bench_lk24ctl [runs] [program]   (default 5 of each, this build's lk24ctl;
//                                     another program, e.g. an older build, to compare)

#include "tools/devsim/DeviceSimulator.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using lk24::devsim::DeviceSimulator;

constexpr double kTarget = 2.0;  // whole process against the bare loop

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

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

// One command, one answer; false when the line fails.
bool exchange(int fd, const std::vector<std::uint8_t>& command, std::uint8_t& answer) {
  return ::write(fd, command.data(), command.size()) == static_cast<ssize_t>(command.size()) &&
         ::read(fd, &answer, 1) == 1;
}

bool readPass(int fd, std::vector<std::uint8_t>& image) {
  image.resize(256);
  for (int a = 0; a < 256; ++a) {
    if (!exchange(fd, {0xE6, static_cast<std::uint8_t>(a)}, image[a])) return false;
  }
  return true;
}

// The bytes of a read request or a program run, stop-and-wait, nothing else.
double bareLoop(const DeviceSimulator& device, bool program) {
  const auto start = Clock::now();
  const int fd = openRaw(device.slavePath());
  if (fd < 0) return -1;
  const std::vector<std::uint8_t> wakeUp(25, 0x00);
  bool ok = ::write(fd, wakeUp.data(), wakeUp.size()) == 25;
  ::tcflush(fd, TCIFLUSH);
  std::vector<std::uint8_t> image;
  ok = ok && readPass(fd, image);
  if (program) {
    for (int a = 0; ok && a < 248; ++a) {
      std::uint8_t echo = 0;
      ok = exchange(fd, {0xE9, static_cast<std::uint8_t>(a), image[a]}, echo) && echo == image[a];
    }
    ok = ok && readPass(fd, image);
  }
  ::close(fd);
  return ok ? secondsSince(start) : -1;
}

// What the dynamic loader maps for the program: its listing with
// LD_TRACE_LOADED_OBJECTS (what ldd shows), one library a line, the vDSO
// and the loader itself included; -1 when the listing fails.
int sharedLibrariesAtStart(const std::string& program) {
  const std::string command = "LD_TRACE_LOADED_OBJECTS=1 '" + program + "'";
  FILE* listing = ::popen(command.c_str(), "r");
  if (listing == nullptr) return -1;
  int count = 0;
  char line[4096];
  while (std::fgets(line, sizeof line, listing) != nullptr) ++count;
  return ::pclose(listing) == 0 ? count : -1;
}

double runCtl(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  int status = -1;
  const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!started || ::waitpid(pid, &status, 0) != pid) return -1;
  const double seconds = secondsSince(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("lk24-bench-ctl-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  fs::copy_file(LK24_SOURCE_DIR "/templates/LK24.ini", folder / "LK24.ini");
  fs::current_path(folder);  // the backups of the program runs go here too

  DeviceSimulator device(lk24::devsim::Options{});
  std::string error;
  if (!device.start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  const std::string port = device.slavePath();
  const std::string ctl = argc > 2 ? argv[2] : LK24_CTL_PATH;
  if (runCtl({ctl, "read", "-p", port, "-o", "device.lk2"}) < 0) {
    std::fprintf(stderr, "lk24ctl read failed\n");
    return 1;
  }

  std::vector<double> starts;
  for (int i = 0; i < 5 * runs; ++i) starts.push_back(runCtl({ctl, "--version"}));
  const int libraries = sharedLibrariesAtStart(ctl);

  std::vector<double> bareRead, bareProgram, ctlRead, ctlProgram;
  for (int i = 0; i < runs; ++i) {  // alternating, so a busy machine weighs on both alike
    bareRead.push_back(bareLoop(device, false));
    // --force: each run replaces the file the one before wrote.
    ctlRead.push_back(runCtl({ctl, "read", "-p", port, "-o", "device.lk2", "--force"}));
    bareProgram.push_back(bareLoop(device, true));
    ctlProgram.push_back(runCtl({ctl, "program", "-p", port, "device.lk2"}));
  }
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(folder);
  bool ok = true;
  auto report = [&](const char* what, const std::vector<double>& ctlTimes, const std::vector<double>& bareTimes) {
    if (*std::min_element(ctlTimes.begin(), ctlTimes.end()) < 0 ||
        *std::min_element(bareTimes.begin(), bareTimes.end()) < 0) {
      std::printf("%s: a run failed\n", what);
      ok = false;
      return;
    }
    const double c = median(ctlTimes);
    const double b = median(bareTimes);
    std::printf("lk24ctl %-8s median %.4f s (whole process), bare termios loop %.4f s: ratio %.2f (target %.1f)\n",
                what, c, b, c / b, kTarget);
    std::printf("TABLE|lk24ctl %s, simulator, no latency|%.4f s|bare termios loop %.4f s (target %.1f x)|%.2f\n", what,
                c, b, kTarget, c / b);
    ok = ok && c / b <= kTarget;
  };
  if (*std::min_element(starts.begin(), starts.end()) < 0 || libraries < 0) {
    std::printf("lk24ctl --version failed\n");
    ok = false;
  } else {
    std::printf("lk24ctl --version: median %.1f ms of %zu starts, %d shared libraries at start\n",
                median(starts) * 1000, starts.size(), libraries);
    std::printf("TABLE|lk24ctl --version, whole process|%.1f ms|-|-\n", median(starts) * 1000);
    std::printf("TABLE|shared libraries at lk24ctl's start (ldd)|%d|-|-\n", libraries);
  }
  std::printf("lk24ctl against the simulator at zero latency, %d runs of each\n", runs);
  report("read", ctlRead, bareRead);
  report("program", ctlProgram, bareProgram);
  return ok ? 0 : 1;
}
