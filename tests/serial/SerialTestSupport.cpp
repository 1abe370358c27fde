#include "SerialTestSupport.h"

#include "serial/AfUtils.h"

#include <QCoreApplication>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

using Clock = std::chrono::steady_clock;

void PumpEvents(int ms) {
  PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

ErrorCapture::ErrorCapture() {
  SetStandardErrorDisplay([this](const std::string& message) {
    std::lock_guard guard(lock_);
    messages_.push_back(message);
  });
}

ErrorCapture::~ErrorCapture() { SetStandardErrorDisplay(nullptr); }

std::vector<std::string> ErrorCapture::Messages() const {
  std::lock_guard guard(lock_);
  return messages_;
}

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  slavePath_ = ptsname(master_);
}

PtyPair::~PtyPair() { CloseMaster(); }

void PtyPair::BindTo(int number) const {
  setenv(("LK24_COM" + std::to_string(number)).c_str(), slavePath_.c_str(), 1);
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyPair::Send(const std::vector<std::uint8_t>& bytes) const {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) throw std::runtime_error("pty write failed");
    done += std::size_t(n);
  }
}

std::vector<std::uint8_t> PtyPair::Receive(std::size_t count, int timeoutMs) const {
  std::vector<std::uint8_t> bytes;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (bool first = true; bytes.size() < count; first = false) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 && !first) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, left > 0 ? int(left) : 0) <= 0) break;
    if ((p.revents & POLLIN) == 0) {
      if (left <= 0) break;
      // Nobody holds the slave side open yet: wait a little.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    std::uint8_t chunk[4096];
    const ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (n <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

TAfCoreEventProc EngineEvents::Callback() {
  return [this](TAfComPortCore*, TAfCoreEvent kind, std::uint32_t data,
                const std::exception_ptr&) {
    {
      std::lock_guard guard(lock_);
      entries_.push_back(Entry{kind, data, Clock::now()});
    }
    changed_.notify_all();
  };
}

bool EngineEvents::WaitFor(const std::function<bool(const std::vector<Entry>&)>& done,
                           int timeoutMs) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return done(entries_); });
}

std::vector<EngineEvents::Entry> EngineEvents::Snapshot() const {
  std::lock_guard guard(lock_);
  return entries_;
}

int EngineEvents::Count(TAfCoreEvent kind) const {
  std::lock_guard guard(lock_);
  int n = 0;
  for (const Entry& e : entries_) n += e.kind == kind ? 1 : 0;
  return n;
}

void EngineEvents::Clear() {
  std::lock_guard guard(lock_);
  entries_.clear();
}

namespace {
int CountEntries(const char* path) {
  DIR* dir = opendir(path);
  if (dir == nullptr) return -1;
  int n = 0;
  while (dirent* entry = readdir(dir)) n += entry->d_name[0] == '.' ? 0 : 1;
  closedir(dir);
  return n;
}
}  // namespace

int CountOpenDescriptors() { return CountEntries("/proc/self/fd"); }

int CountEngineThreads() {
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return -1;
  int n = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string path = std::string("/proc/self/task/") + entry->d_name + "/comm";
    if (FILE* comm = std::fopen(path.c_str(), "r")) {
      char name[32] = {};
      if (std::fgets(name, sizeof name, comm) != nullptr) {
        const std::string text(name);
        n += text.rfind("AfComEvents", 0) == 0 || text.rfind("AfComWrites", 0) == 0 ? 1 : 0;
      }
      std::fclose(comm);
    }
  }
  closedir(dir);
  return n;
}

int SettledEngineThreads(int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int n = CountEngineThreads();
  while (n != expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    n = CountEngineThreads();
  }
  return n;
}
