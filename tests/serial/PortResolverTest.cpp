// Which device COMn reaches, and whether a port can be opened now: a fake
// /dev and /sys tree whose ports are real pseudo-terminals, and second
// processes that hold them.
#include "serial/AfPlatform.h"
#include "serial/AfPortLockPosix.h"
#include "serial/AfPortResolver.h"

#include "FakePortTree.h"
#include "HolderProcess.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

struct PortResolver : ::testing::Test {
  FakePortTree tree;

  void SetUp() override {
    for (int n = 1; n <= 8; ++n) unsetenv(("LK24_COM" + std::to_string(n)).c_str());
    tree.SetSysFile("class/tty/console/active", "tty0 ttyS0");
    tree.Add("ttyS0", "", "pnp0/00:04", "4", "pnp/serial");
    tree.Add("ttyS10", "", "platform/serial8250", "4", "platform/serial8250");
    tree.Add("ttyS2", "", "platform/serial8250", "4", "platform/serial8250");
    tree.Add("ttyS3", "", "platform/serial8250", "0", "platform/serial8250");
    tree.Add("ttyUSB1", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
             "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB1", "", "usb-serial/ftdi_sio");
    tree.Add("ttyUSB0", "usb-Prolific_PL2303-if00-port0", "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB0",
             "", "usb-serial/pl2303");
    tree.Add("ttyACM0", "", "pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0", "", "usb/cdc_acm");
    // A laptop's LTE modem: ttyUSB ports of the option driver, no COM port.
    tree.Add("ttyUSB2", "usb-Sierra_EM7455-if02-port0", "pci0000:00/0000:00:14.0/usb1/1-6/1-6:1.2/ttyUSB2",
             "", "usb-serial/option");
  }
  std::string ComPath(int n) { return AfResolveComPort(n, tree.roots).devicePath; }
};

TEST_F(PortResolver, BridgesThenAcmThenUartsAndNeverTheConsoleAModemOrANodeWithoutUart) {
  // Bridges by their by-id names, CDC-ACM after them whatever its name.
  EXPECT_EQ(ComPath(1), tree.DevPath("ttyUSB1"));
  EXPECT_EQ(ComPath(2), tree.DevPath("ttyUSB0"));
  EXPECT_EQ(ComPath(3), tree.DevPath("ttyACM0"));
  EXPECT_EQ(ComPath(4), tree.DevPath("ttyS2"));
  EXPECT_EQ(ComPath(5), tree.DevPath("ttyS10"));
  const TAfComResolution none = AfResolveComPort(6, tree.roots);
  EXPECT_EQ(none.source, TAfComResolution::NoPort);
  EXPECT_TRUE(none.devicePath.empty());

  const TAfComResolution usb = AfResolveComPort(1, tree.roots);
  ASSERT_TRUE(usb.info);
  EXPECT_EQ(usb.info->byIdName, "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

  // The listing shows the console, the dead node and the modem too, after
  // the rest by kernel name.
  const auto ports = AfListSerialPorts(tree.roots);
  ASSERT_EQ(ports.size(), 8u);
  EXPECT_TRUE(ports[5].console && ports[5].kernelName == "ttyS0");
  EXPECT_EQ(ports[6].kind, TAfPortKind::OnBoardNoUart);
  EXPECT_EQ(ports[7].kind, TAfPortKind::ModemPort);

  // A mapping wins, may name the console, and a by-id link finds its port.
  const std::string byId = tree.roots.dev + "/serial/by-id/usb-Prolific_PL2303-if00-port0";
  setenv("LK24_COM1", byId.c_str(), 1);
  setenv("LK24_COM2", tree.DevPath("ttyS0").c_str(), 1);
  const TAfComResolution mapped = AfResolveComPort(1, tree.roots);
  EXPECT_EQ(ComPath(2), tree.DevPath("ttyS0"));
  unsetenv("LK24_COM1");
  unsetenv("LK24_COM2");
  EXPECT_EQ(mapped.source, TAfComResolution::Mapped);
  ASSERT_TRUE(mapped.info);
  EXPECT_EQ(mapped.info->kernelName, "ttyUSB0");
}

TEST_F(PortResolver, VendorDriversWithOwnNamesAreAdaptersAndNumbersSortByValue) {
  tree.Add("ttyCH343USB0", "", "pci0000:00/0000:00:14.0/usb1/1-7/1-7:1.0", "", "usb/usb_ch343");
  tree.Add("ttyXRUSB0", "", "pci0000:00/0000:00:14.0/usb1/1-8/1-8:1.0", "", "usb/xr_usb_serial_common");
  tree.Add("ttyUSB10", "", "pci0000:00/0000:00:14.0/usb1/1-9/1-9:1.0/ttyUSB10", "", "usb-serial/cp210x");
  tree.Add("ttyUSB9", "", "pci0000:00/0000:00:14.0/usb1/1-10/1-10:1.0/ttyUSB9", "", "usb-serial/ch341-uart");
  const auto ch343 = AfDescribePort(tree.DevPath("ttyCH343USB0"), tree.roots);
  ASSERT_TRUE(ch343);
  EXPECT_EQ(ch343->kind, TAfPortKind::UsbAdapter);
  // Kernel names where there is no by-id name, digits by their value.
  const char* order[] = {"ttyCH343USB0", "ttyUSB9", "ttyUSB10", "ttyXRUSB0", "ttyUSB1", "ttyUSB0", "ttyACM0"};
  for (int n = 1; n <= 7; ++n) EXPECT_EQ(ComPath(n), tree.DevPath(order[n - 1])) << "COM" << n;
}

TEST_F(PortResolver, AccessNamesMissingNoUartPermissionAndLockHolders) {
  EXPECT_EQ(AfCheckPortAccess(tree.DevPath("ttyUSB9"), tree.roots).state, TAfPortState::Missing);
  EXPECT_EQ(AfCheckPortAccess(tree.DevPath("ttyS3"), tree.roots).state, TAfPortState::NoUart);
  EXPECT_EQ(AfCheckPortAccess(tree.DevPath("ttyUSB0"), tree.roots).state, TAfPortState::Free);

  // Root may open anything, so the refusal comes through the seam. A pty
  // slave is root:tty 0620, which only root may open: no group to join.
  AfSetSystemCalls({nullptr, [](const char*, int) { errno = EACCES; return -1; }, nullptr});
  const TAfPortAccess rootOnly = AfCheckPortAccess(tree.DevPath("ttyUSB0"), tree.roots);
  PtyPair& pty = tree.Add("ttyUSB7", "", "usb1/1-7/1-7:1.0/ttyUSB7", "", "usb-serial/ftdi_sio");
  const group* dialout = getgrnam("dialout");
  ASSERT_TRUE(dialout != nullptr);
  ASSERT_EQ(chown(pty.slavePath().c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(chmod(pty.slavePath().c_str(), 0660), 0);
  const TAfPortAccess denied = AfCheckPortAccess(tree.DevPath("ttyUSB7"), tree.roots);
  AfSetSystemCalls({});
  EXPECT_EQ(rootOnly.state, TAfPortState::NoPermission);
  EXPECT_EQ(rootOnly.group, "");
  EXPECT_EQ(denied.state, TAfPortState::NoPermission);
  EXPECT_EQ(denied.group, "dialout");

  // A lock file of a live process holds the port; one of a dead process is stale.
  HolderProcess other("");
  const std::string lockFile = AfLockFilePath("ttyUSB0", tree.roots);
  std::ofstream(lockFile) << "      " << other.pid() << "\n";
  const TAfPortAccess locked = AfCheckPortAccess(tree.DevPath("ttyUSB0"), tree.roots);
  EXPECT_EQ(locked.state, TAfPortState::Held);
  ASSERT_TRUE(locked.holder);
  EXPECT_EQ(locked.holder->pid, other.pid());
  other.Stop();
  EXPECT_EQ(AfCheckPortAccess(tree.DevPath("ttyUSB0"), tree.roots).state, TAfPortState::Free);
  EXPECT_FALSE(std::filesystem::exists(lockFile)) << "a stale lock is removed";
}

TEST_F(PortResolver, AProcessHoldingTheTerminalIsAHolderUnlessItIsTheDeviceEnd) {
  PtyPair& pty = tree.Add("ttyUSB5", "", "usb1/1-5/1-5:1.0/ttyUSB5", "", "usb-serial/ftdi_sio");
  {
    HolderProcess cat(pty.slavePath());
    const TAfPortAccess held = AfCheckPortAccess(tree.DevPath("ttyUSB5"), tree.roots);
    EXPECT_EQ(held.state, TAfPortState::Held);
    ASSERT_TRUE(held.holder);
    EXPECT_EQ(held.holder->pid, cat.pid());
    EXPECT_EQ(held.holder->name, "sleep");
  }
  // A simulator holds the master side, and the slave as well.
  HolderProcess simulator(pty.slavePath(), pty.master());
  EXPECT_EQ(AfCheckPortAccess(tree.DevPath("ttyUSB5"), tree.roots).state, TAfPortState::Free);
}

TEST_F(PortResolver, GrabbersAreFoundByTheirProcessNameAndTheLatencyTimerIsRead) {
  const std::string link = tree.roots.dev + "/ModemManager";
  std::filesystem::create_symlink("/bin/sleep", link);
  HolderProcess grabber("", -1, link);
  bool found = false;
  for (const TAfPortHolder& g : AfFindPortGrabbers(tree.roots)) found |= g.pid == grabber.pid() && g.name == "ModemManager";
  EXPECT_TRUE(found);

  EXPECT_FALSE(AfLatencyTimerMs(tree.DevPath("ttyUSB1"), tree.roots));
  tree.SetSysFile("devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB1/latency_timer", "16");
  EXPECT_EQ(AfLatencyTimerMs(tree.DevPath("ttyUSB1"), tree.roots), 16);
}

TEST_F(PortResolver, APathThatIsNoTerminalIsNamedForWhatItIsAndNeverSearchedForHolders) {
  std::ofstream(tree.DevPath("file")) << "x\n";
  std::filesystem::create_directory(tree.DevPath("folder"));
  ASSERT_EQ(mkfifo(tree.DevPath("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", tree.DevPath("null"));  // open in many processes
  const std::pair<const char*, TAfNotSerial> cases[] = {{"file", TAfNotSerial::File},
                                                        {"folder", TAfNotSerial::Folder},
                                                        {"fifo", TAfNotSerial::Pipe},
                                                        {"null", TAfNotSerial::OtherDevice}};
  for (const auto& [name, what] : cases) {
    const TAfPortAccess access = AfCheckPortAccess(tree.DevPath(name), tree.roots);
    EXPECT_EQ(access.state, TAfPortState::NotSerial) << name;
    EXPECT_EQ(access.notSerial, what) << name;
    setenv("LK24_COM9", tree.DevPath(name).c_str(), 1);
    const TAfOpenResult opened = AfOpenPosixDevice(9, tree.roots);
    unsetenv("LK24_COM9");
    EXPECT_FALSE(opened.device) << name;
    EXPECT_EQ(opened.access.state, TAfPortState::NotSerial) << name;
    EXPECT_FALSE(opened.access.holder) << name;
  }
  EXPECT_FALSE(AfNotSerial(tree.DevPath("ttyUSB0"), tree.roots));
  EXPECT_FALSE(AfNotSerial(tree.DevPath("nothing"), tree.roots)) << "absent is left to the open";
}

// The kernel's console (ttyS0 here) is refused unless the user's own
// LK24_COMn names it; tests/cli/PortPathTest.cpp tries the controlling terminal.
TEST_F(PortResolver, TheConsoleIsTakenOnlyThroughTheUsersOwnMapping) {
  const std::string console = tree.DevPath("ttyS0");
  EXPECT_EQ(AfCheckPortAccess(console, tree.roots).state, TAfPortState::Console);
  EXPECT_EQ(AfCheckPortAccess(console, tree.roots, true).state, TAfPortState::Free);

  AfMapComPortToPath(9, console);  // as for "-p PATH"
  const TAfOpenResult refused = AfOpenPosixDevice(9, tree.roots);
  EXPECT_FALSE(refused.device);
  EXPECT_EQ(refused.access.state, TAfPortState::Console);
  setenv("LK24_COM10", console.c_str(), 1);
  EXPECT_TRUE(AfOpenPosixDevice(10, tree.roots).device) << "the user's own mapping";
  AfMapComPortToPath(11, console);  // a path the user's variable already names
  EXPECT_TRUE(AfOpenPosixDevice(11, tree.roots).device);
  for (const char* variable : {"LK24_COM9", "LK24_COM10", "LK24_COM11"}) unsetenv(variable);
}

}  // namespace
