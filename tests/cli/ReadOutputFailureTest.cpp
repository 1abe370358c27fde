// `read -o` that cannot write its file says why, and leaves the old file.

#include "CtlProcess.h"

#include <gtest/gtest.h>

#include <fstream>

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

TEST(CtlReadOutput, AFullDiskIsNamedAndTheOldFileStays) {
  CtlFolder folder;
  {
    std::ofstream(folder.file("cfg.lk2")) << "old\r\n";
  }
  auto device = startedDevice();
  // A file-size limit of one block fails the write as a full disk does; the
  // signal it raises is ignored so that the write itself reports it.
  const CtlResult result =
      runCtl(folder,
             {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", ctlPath(), "read", "--force", "-p",
              slave(*device), "-o", "cfg.lk2"},
             {}, QStringLiteral("/bin/sh"));
  EXPECT_EQ(result.exitCode, 2) << result.err.toStdString();
  EXPECT_TRUE(result.err.contains(QStringLiteral("Fehler bei \"Datei speichern!\": \"cfg.lk2\" Datenträger voll")))
      << result.err.toStdString();
  std::ifstream file(folder.file("cfg.lk2"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "old\r\n");
}

}  // namespace
}  // namespace lk24::test
