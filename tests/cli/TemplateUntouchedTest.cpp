// lk24ctl reads LK24.ini and never writes it: after program, restore and
// the production loop the template has the same bytes, inode and time.

#include "CtlProcess.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

struct FileState {
  std::string bytes;
  ino_t inode = 0;
  timespec modified{};
};

FileState stateOf(const std::string& path) {
  FileState state;
  std::ifstream in(path, std::ios::binary);
  state.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  state.inode = st.st_ino;
  state.modified = st.st_mtim;
  return state;
}

void expectSame(const FileState& before, const FileState& after, const char* command) {
  EXPECT_EQ(after.bytes, before.bytes) << command;
  EXPECT_EQ(after.inode, before.inode) << command;
  EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec) << command;
  EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec) << command;
}

TEST(CtlTemplate, ProgramRestoreAndTheLoopLeaveLK24IniAsItWas) {
  CtlFolder folder;
  auto device = startedDevice();
  const QString port = slave(*device);
  ASSERT_EQ(runCtl(folder, {"read", "-p", port, "-o", "cfg.lk2"}).exitCode, 0);
  const std::string ini = folder.file("LK24.ini");
  const FileState before = stateOf(ini);

  const CtlResult program = runCtl(folder, {"program", "-p", port, "cfg.lk2"});
  ASSERT_EQ(program.exitCode, 0) << program.err.toStdString();
  expectSame(before, stateOf(ini), "program");

  const QStringList backups = QDir(folder.path("Sicherungen")).entryList({"*.lk2"}, QDir::Files);
  ASSERT_FALSE(backups.isEmpty());
  const CtlResult restore = runCtl(folder, {"restore", "-p", port, "Sicherungen/" + backups.first()});
  ASSERT_EQ(restore.exitCode, 0) << restore.err.toStdString();
  expectSame(before, stateOf(ini), "restore");

  const CtlResult loop = runCtl(folder, {"program", "--each", "--count", "1", "-p", port, "cfg.lk2"});
  ASSERT_EQ(loop.exitCode, 0) << loop.err.toStdString();
  expectSame(before, stateOf(ini), "program --each");
}

}  // namespace
}  // namespace lk24::test
