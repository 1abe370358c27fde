#pragma once
// A fake /dev, /sys and lock directory in which each port is a symbolic link
// to a real pseudo-terminal, so that it can be opened, with the sysfs
// entries and relative links a real machine has for it. /proc stays the
// real one.

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
    roots = TAfPortRoots{root_ + "/dev", root_ + "/sys", "/proc", root_ + "/lock"};
    for (const char* dir : {"/dev/serial/by-id", "/sys/class/tty/console", "/lock"}) {
      std::filesystem::create_directories(root_ + dir);
    }
  }
  ~FakePortTree() { std::filesystem::remove_all(root_); }

  // A port backed by a new pseudo-terminal, laid out as the kernel does:
  // class/tty/NAME leads to devices/DEVICE/tty/NAME, whose "device" leads
  // back to DEVICE, all by relative links. `driver` ("usb-serial/ftdi_sio")
  // becomes DEVICE/driver; `type`: an 8250 port's type file, if any.
  PtyPair& Add(const std::string& name, const std::string& byId, const std::string& device,
               const std::string& type = "", const std::string& driver = "") {
    namespace fs = std::filesystem;
    PtyPair& pty = *ptys_.emplace_back(std::make_unique<PtyPair>());
    const fs::path deviceDir = roots.sys + "/devices/" + device;
    const fs::path ttyDir = deviceDir / "tty" / name;
    fs::create_symlink(pty.slavePath(), DevPath(name));
    fs::create_directories(ttyDir);
    fs::create_directories(roots.sys + "/class/tty");
    fs::create_symlink("../../devices/" + device + "/tty/" + name, roots.sys + "/class/tty/" + name);
    fs::create_symlink("../../../" + deviceDir.filename().string(), ttyDir / "device");
    if (!driver.empty() && !fs::exists(fs::symlink_status(deviceDir / "driver"))) {
      const std::string bus = driver.substr(0, driver.find('/'));
      fs::create_directories(roots.sys + "/bus/" + bus + "/drivers/" + driver.substr(bus.size() + 1));
      std::string up = "../";
      for (const auto& part : fs::path(device)) up += part.empty() ? "" : "../";
      fs::create_symlink(up + "bus/" + bus + "/drivers/" + driver.substr(bus.size() + 1), deviceDir / "driver");
    }
    struct stat st {};
    stat(pty.slavePath().c_str(), &st);
    SetSysFile("class/tty/" + name + "/dev", std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
    if (!type.empty()) SetSysFile("class/tty/" + name + "/type", type);
    if (!byId.empty()) fs::create_symlink("../../" + name, roots.dev + "/serial/by-id/" + byId);
    return pty;
  }
  void SetSysFile(const std::string& relative, const std::string& text) {
    std::ofstream(roots.sys + "/" + relative) << text << "\n";
  }
  std::string DevPath(const std::string& name) const { return roots.dev + "/" + name; }

  TAfPortRoots roots;

 private:
  std::string root_;
  std::vector<std::unique_ptr<PtyPair>> ptys_;
};
