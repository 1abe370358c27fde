#pragma once
// The UUCP lock file convention that minicom, picocom and cu follow: a port
// in use has /run/lock/LCK..ttyUSB0 holding the user's PID as ten ASCII
// digits and a line end. A lock whose PID is dead is stale and removed.

#include "serial/AfPortResolver.h"

#include <optional>
#include <string>

// The live process that has the lock file of `kernelName` (ttyUSB0, pts/3);
// removes a stale lock on the way. Any thread.
std::optional<TAfPortHolder> AfLockFileHolder(const std::string& kernelName, const TAfPortRoots& roots);

// Holds the lock file of one port while it lives. A lock directory this user
// may not write to gives no lock and no failure: the other checks remain.
class TAfPortLock {
 public:
  TAfPortLock() = default;
  ~TAfPortLock();
  TAfPortLock(TAfPortLock&& other) noexcept;
  TAfPortLock& operator=(TAfPortLock&& other) noexcept;
  TAfPortLock(const TAfPortLock&) = delete;
  TAfPortLock& operator=(const TAfPortLock&) = delete;

  // Takes the lock for this process; when another live process has it,
  // returns no lock and names that process in `holder`.
  static TAfPortLock Take(const std::string& kernelName, const TAfPortRoots& roots,
                          std::optional<TAfPortHolder>& holder);

  bool held() const { return !file_.empty(); }
  const std::string& file() const { return file_; }

 private:
  void Release();
  std::string file_;
};

// Path of the lock file for `kernelName` ("pts/3" becomes LCK..pts_3).
std::string AfLockFilePath(const std::string& kernelName, const TAfPortRoots& roots);
