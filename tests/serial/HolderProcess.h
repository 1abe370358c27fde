#pragma once
// A second process that holds a terminal open, as a terminal program or a
// stray `cat` would: `sleep` with the terminal as its standard input, and
// optionally a pseudo-terminal's master side as descriptor 3 (a device end).

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <string>
#include <thread>

extern char** environ;

class HolderProcess {
 public:
  // `program` is run as "sleep"; a link named differently gives another name.
  explicit HolderProcess(const std::string& terminal, int masterFd = -1,
                         const std::string& program = "/bin/sleep") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!terminal.empty()) posix_spawn_file_actions_addopen(&actions, 0, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    if (masterFd >= 0) posix_spawn_file_actions_adddup2(&actions, masterFd, 3);
    std::string arg0 = program;
    char seconds[] = "60";
    char* argv[] = {arg0.data(), seconds, nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    // Ready once the program runs with the terminal open.
    const std::string fd0 = "/proc/" + std::to_string(pid_) + "/fd/0";
    const std::string comm = "/proc/" + std::to_string(pid_) + "/exe";
    for (int i = 0; i < 500 && pid_ > 0; ++i) {
      char target[256] = {};
      char exe[256] = {};
      const bool open = terminal.empty() || readlink(fd0.c_str(), target, sizeof target - 1) > 0;
      if (open && readlink(comm.c_str(), exe, sizeof exe - 1) > 0 && std::string(exe).find("sleep") != std::string::npos) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  ~HolderProcess() { Stop(); }
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};
