// A port path that is no serial port is named for what it is, and the
// console is refused before a byte is sent, unless the user's own LK24_COMn
// names it.

#include "CtlProcess.h"

#include <QDir>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

TEST(CtlPortPath, AFileAFolderOrAnotherDeviceIsNoSerialPortAndSaysSo) {
  CtlFolder folder;
  ASSERT_TRUE(QDir(folder.path(".")).mkdir("ordner"));
  const std::pair<QString, QString> cases[] = {{folder.path("LK24.ini"), "eine Datei"},
                                               {folder.path("ordner"), "ein Ordner"},
                                               {"/dev/null", "ein anderes Gerät"}};
  for (const auto& [path, what] : cases) {
    const CtlResult info = runCtl(folder, {"info", "-p", path});
    EXPECT_EQ(info.exitCode, 3) << info.err.toStdString();
    EXPECT_TRUE(info.err.contains("keine serielle Schnittstelle, sondern " + what)) << info.err.toStdString();
    EXPECT_FALSE(info.err.contains("PID")) << info.err.toStdString();
    EXPECT_FALSE(info.err.contains("nicht vorhanden")) << info.err.toStdString();
  }
  const CtlResult ports = runCtl(folder, {"ports", "--json"}, {"LK24_COM1=/dev/null"});
  EXPECT_EQ(ports.json()["comPorts"].toArray().at(0)["state"].toString(), "not-serial") << ports.out.toStdString();
}

// lk24ctl started with the simulator's terminal as its controlling terminal,
// as when it runs in a session on that port.
CtlResult runInSessionOf(const CtlFolder& folder, const std::string& terminal, const QStringList& args,
                         const QStringList& env = {}) {
  QProcess process;
  process.setChildProcessModifier([terminal] {
    if (::setsid() >= 0) (void)::open(terminal.c_str(), O_RDWR);
  });
  startCtl(process, folder, args, env);
  return finished(process);
}

TEST(CtlPortPath, TheControllingTerminalIsRefusedUnlessTheUsersVariableNamesIt) {
  CtlFolder folder;
  auto device = startedDevice();
  const std::string terminal = device->slavePath();
  const CtlResult refused = runInSessionOf(folder, terminal, {"info", "-p", slave(*device)});
  EXPECT_EQ(refused.exitCode, 3) << refused.err.toStdString();
  EXPECT_TRUE(refused.err.contains("ist die Konsole")) << refused.err.toStdString();
  EXPECT_TRUE(refused.err.contains(slave(*device))) << refused.err.toStdString();
  EXPECT_EQ(device->stats().bytesIn, 0) << "the wake-up run went into the session";

  // /dev/tty stands for the controlling terminal, whichever it is.
  const CtlResult tty = runCtl(folder, {"info", "-p", "/dev/tty"});
  EXPECT_EQ(tty.exitCode, 3);
  EXPECT_TRUE(tty.err.contains("(/dev/tty): ist die Konsole")) << tty.err.toStdString();

  const QString mapping = "LK24_COM3=" + slave(*device);
  EXPECT_EQ(runInSessionOf(folder, terminal, {"info", "-p", "COM3"}, {mapping}).exitCode, 0);
  EXPECT_EQ(runInSessionOf(folder, terminal, {"info", "-p", slave(*device)}, {mapping}).exitCode, 0);
}

}  // namespace
}  // namespace lk24::test
