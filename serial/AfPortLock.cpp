#include "serial/AfPortLock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// The PID in a lock file: ten ASCII digits by convention; old binary locks
// of four bytes are read as well.
std::optional<pid_t> LockPid(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() == sizeof(int) && (text.back() == '\0' || static_cast<unsigned char>(text[0]) > '9')) {
    int binary = 0;
    std::memcpy(&binary, text.data(), sizeof binary);
    return binary > 0 ? std::optional<pid_t>(binary) : std::nullopt;
  }
  const long pid = std::strtol(text.c_str(), nullptr, 10);
  return pid > 0 ? std::optional<pid_t>(pid_t(pid)) : std::nullopt;
}

bool Alive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

std::string NameOf(const TAfPortRoots& roots, pid_t pid) {
  std::ifstream in(roots.proc + "/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

}  // namespace

std::string AfLockFilePath(const std::string& kernelName, const TAfPortRoots& roots) {
  std::string name = kernelName;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return roots.lock + "/LCK.." + name;
}

std::optional<TAfPortHolder> AfLockFileHolder(const std::string& kernelName, const TAfPortRoots& roots) {
  if (kernelName.empty()) return std::nullopt;
  const std::string file = AfLockFilePath(kernelName, roots);
  if (access(file.c_str(), F_OK) != 0) return std::nullopt;
  const auto pid = LockPid(file);
  if (pid && Alive(*pid)) return TAfPortHolder{*pid, NameOf(roots, *pid)};
  // Dead owner or unreadable contents: the lock is stale.
  unlink(file.c_str());
  return std::nullopt;
}

TAfPortLock TAfPortLock::Take(const std::string& kernelName, const TAfPortRoots& roots,
                              std::optional<TAfPortHolder>& holder) {
  TAfPortLock lock;
  holder.reset();
  if (kernelName.empty()) return lock;
  const std::string file = AfLockFilePath(kernelName, roots);
  // Twice: a stale lock removed on the first pass leaves room for ours.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if ((holder = AfLockFileHolder(kernelName, roots))) return lock;
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return lock;  // no lock directory, or not ours to write
    }
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
    const bool written = write(fd, text, std::size_t(n)) == n;
    close(fd);
    if (!written) {
      unlink(file.c_str());
      return lock;
    }
    lock.file_ = file;
    return lock;
  }
  return lock;
}

TAfPortLock::~TAfPortLock() { Release(); }

TAfPortLock::TAfPortLock(TAfPortLock&& other) noexcept : file_(std::move(other.file_)) {
  other.file_.clear();
}

TAfPortLock& TAfPortLock::operator=(TAfPortLock&& other) noexcept {
  if (this != &other) {
    Release();
    file_ = std::move(other.file_);
    other.file_.clear();
  }
  return *this;
}

void TAfPortLock::Release() {
  if (file_.empty()) return;
  // Only our own lock goes: never one another process took meanwhile.
  if (LockPid(file_) == getpid()) unlink(file_.c_str());
  file_.clear();
}
