#pragma once
// A second process that holds a terminal open, as a terminal program or a
// stray `cat` would: `sleep` with the terminal as its standard input, and
// optionally a pseudo-terminal's master side as descriptor 3 (a device end).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

extern char** environ;

class HolderProcess {
 public:
  // `program` runs `sleep`; a link to it under another name gives that name.
  explicit HolderProcess(const std::string& terminal, int masterFd = -1, std::string program = "/bin/sleep") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!terminal.empty()) posix_spawn_file_actions_addopen(&actions, 0, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    if (masterFd >= 0) posix_spawn_file_actions_adddup2(&actions, masterFd, 3);
    char seconds[] = "60";
    char* argv[] = {program.data(), seconds, nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    // Ready once `sleep` runs, with the terminal open.
    const std::string exe = "/proc/" + std::to_string(pid_) + "/exe";
    char target[256];
    for (int i = 0; i < 500 && pid_ > 0; ++i) {
      const ssize_t n = readlink(exe.c_str(), target, sizeof target);
      if (n > 0 && std::string(target, std::size_t(n)).find("sleep") != std::string::npos) break;
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
