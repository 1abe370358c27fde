#include "serial/AfPortLockPosix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

namespace {

// A lock file without a PID may be one that another program has just made
// and not yet written; only one left so for this long is stale.
constexpr int unfinishedLockSeconds = 10;

// No process has a PID above the kernel's limit (2^22): a lock naming one,
// or a number too long to be a PID at all, is stale, never held for ever.
constexpr long long kHighestPid = 1 << 22;

std::optional<pid_t> PlausiblePid(long long pid) {
  if (pid <= 0 || pid > kHighestPid) return std::nullopt;
  return pid_t(pid);
}

// The PID in an open lock file: ten ASCII digits by convention; old binary
// locks of four bytes are read as well.
std::optional<pid_t> LockPid(int fd) {
  char buffer[64];
  const ssize_t n = pread(fd, buffer, sizeof buffer - 1, 0);
  if (n <= 0) return std::nullopt;
  std::string text(buffer, std::size_t(n));
  if (text.size() == sizeof(int) && (text.back() == '\0' || static_cast<unsigned char>(text[0]) > '9')) {
    int binary = 0;
    std::memcpy(&binary, text.data(), sizeof binary);
    return PlausiblePid(binary);
  }
  errno = 0;
  const long long pid = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return PlausiblePid(pid);
}

bool IsDanglingLink(const std::string& file) {
  struct stat named {};
  struct stat target {};
  return lstat(file.c_str(), &named) == 0 && S_ISLNK(named.st_mode) && stat(file.c_str(), &target) != 0 &&
         errno == ENOENT;
}

// A lock that is a symbolic link to nothing was left by no program that
// still runs. It is taken aside under a name of our own first, so that a
// fresh lock another program made meanwhile is put back, never removed.
bool RemoveDanglingLink(const std::string& file, const TAfPortRoots& roots) {
  if (!IsDanglingLink(file)) return false;
  const std::string aside = roots.lock + "/LSTALE." + std::to_string(getpid()) + "." + std::to_string(gettid());
  if (rename(file.c_str(), aside.c_str()) != 0) return false;
  if (!IsDanglingLink(aside)) {
    if (link(aside.c_str(), file.c_str()) != 0) return false;  // keep it aside rather than lose it
  }
  unlink(aside.c_str());
  return true;
}

std::optional<pid_t> LockPid(const std::string& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  const auto pid = LockPid(fd);
  close(fd);
  return pid;
}

bool Alive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

std::string NameOf(const TAfPortRoots& roots, pid_t pid) {
  std::ifstream in(roots.proc + "/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

enum class LockLook { None, Held, Removed };

// Looks at the lock file; a stale one is removed. The removal holds flock on
// the stale file and checks that the name still leads to it, so two of us
// that find the same stale lock can never remove the fresh lock of a third.
// A holder that cannot be named is one with PID 0.
LockLook LookAtLock(const std::string& file, const TAfPortRoots& roots, std::optional<TAfPortHolder>& holder) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT) return LockLook::None;
    if (errno == ELOOP && RemoveDanglingLink(file, roots)) return LockLook::Removed;
    holder = TAfPortHolder{};  // another user's lock we may not read
    return LockLook::Held;
  }
  LockLook look = LockLook::Held;
  struct stat opened {};
  struct stat named {};
  if (const auto pid = LockPid(fd); pid && Alive(*pid)) {
    holder = TAfPortHolder{*pid, NameOf(roots, *pid)};
  } else if (fstat(fd, &opened) != 0) {
    holder = TAfPortHolder{};
  } else if (!pid && opened.st_size == 0 && time(nullptr) - opened.st_mtime < unfinishedLockSeconds) {
    holder = TAfPortHolder{};  // being made right now
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    holder = TAfPortHolder{};  // someone else is at it
  } else if (lstat(file.c_str(), &named) != 0 || named.st_ino != opened.st_ino || named.st_dev != opened.st_dev) {
    look = LockLook::Removed;  // another of us removed it first: look again
  } else if (unlink(file.c_str()) == 0) {
    look = LockLook::Removed;
  } else {
    holder = TAfPortHolder{};  // not ours to remove
  }
  close(fd);
  return look;
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
  std::optional<TAfPortHolder> holder;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (LookAtLock(file, roots, holder) != LockLook::Removed) return holder;
  }
  return holder;
}

TAfPortLock TAfPortLock::Take(const std::string& kernelName, const TAfPortRoots& roots,
                              std::optional<TAfPortHolder>& holder) {
  TAfPortLock lock;
  holder.reset();
  if (kernelName.empty()) return lock;
  const std::string file = AfLockFilePath(kernelName, roots);
  // The PID goes in under a name of our own first and the lock appears by
  // link(2), whole: nobody ever sees it empty or half written.
  const std::string temporary = roots.lock + "/LTMP." + std::to_string(getpid()) + "." + std::to_string(gettid());
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return lock;  // no lock directory, or not ours to write
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
  const bool written = write(fd, text, std::size_t(n)) == n;
  close(fd);
  // Three times: a stale lock removed on the way leaves room for ours.
  for (int attempt = 0; written && attempt < 3; ++attempt) {
    if (link(temporary.c_str(), file.c_str()) == 0) {
      lock.file_ = file;
      break;
    }
    if (errno != EEXIST) break;
    if (LookAtLock(file, roots, holder) == LockLook::Held) break;
    holder.reset();
  }
  unlink(temporary.c_str());
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
