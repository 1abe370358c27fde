#pragma once
// A fake /dev, /sys and lock directory in which each port is a symbolic link
// to a real pseudo-terminal, so that it can be opened, with the sysfs
// entries a real machine has for it. /proc stays the real one.

#include "serial/AfPortResolver.h"

#include "SerialTestSupport.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class FakePortTree {
 public:
  FakePortTree() {
    char pattern[] = "/tmp/lk24-ports-XXXXXX";
    root_ = mkdtemp(pattern);
    roots.dev = root_ + "/dev";
    roots.sys = root_ + "/sys";
    roots.lock = root_ + "/lock";
    std::filesystem::create_directories(roots.dev + "/serial/by-id");
    std::filesystem::create_directories(roots.sys + "/class/tty/console");
    std::filesystem::create_directories(roots.lock);
  }
  ~FakePortTree() { std::filesystem::remove_all(root_); }
  FakePortTree(const FakePortTree&) = delete;
  FakePortTree& operator=(const FakePortTree&) = delete;

  struct Port {
    std::string name;    // ttyUSB0
    std::string byId;    // empty: none
    std::string device;  // where sysfs "device" points
    std::string type;    // 8250 type file, empty: none
  };

  // Adds a port backed by a new pseudo-terminal; returns that terminal.
  PtyPair& Add(const Port& port) {
    ptys_.push_back(std::make_unique<PtyPair>());
    PtyPair& pty = *ptys_.back();
    namespace fs = std::filesystem;
    fs::create_symlink(pty.slavePath(), roots.dev + "/" + port.name);
    const std::string entry = roots.sys + "/class/tty/" + port.name;
    const std::string device = roots.sys + "/devices/" + port.device;
    fs::create_directories(entry);
    fs::create_directories(device);
    fs::create_symlink(device, entry + "/device");
    struct stat st {};
    stat(pty.slavePath().c_str(), &st);
    Write(entry + "/dev", std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
    if (!port.type.empty()) Write(entry + "/type", port.type);
    if (!port.byId.empty()) {
      fs::create_symlink("../../" + port.name, roots.dev + "/serial/by-id/" + port.byId);
    }
    return pty;
  }
  void SetConsole(const std::string& names) { Write(roots.sys + "/class/tty/console/active", names); }
  // Writes a file below the fake /sys (for example an adapter's latency timer).
  void SetSysFile(const std::string& relative, const std::string& text) {
    Write(roots.sys + "/" + relative, text);
  }
  std::string DevPath(const std::string& name) const { return roots.dev + "/" + name; }

  TAfPortRoots roots;

 private:
  static void Write(const std::string& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }
  std::string root_;
  std::vector<std::unique_ptr<PtyPair>> ptys_;
};
