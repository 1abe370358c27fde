// Replacing a file in one step: the old file's mode stays, a link is written
// through, and a failed write leaves neither a changed file nor a temporary one.

#include "model/AtomicFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lk24 {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }

  static std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto& entry : fs::directory_iterator(dir_.path().toStdString())) all.push_back(entry.path().filename());
    std::sort(all.begin(), all.end());
    return all;
  }
};

TEST_F(AtomicFile, AnExistingFileKeepsItsModeAndANewOneGetsTheUsersDefault) {
  std::ofstream(path("old.lk2")) << "old";
  ASSERT_EQ(::chmod(path("old.lk2").c_str(), 0640), 0);
  ASSERT_TRUE(writeFileAtomically(path("old.lk2"), "new"));
  EXPECT_EQ(readAll(path("old.lk2")), "new");
  EXPECT_EQ(modeOf(path("old.lk2")), 0640u);

  const mode_t previous = ::umask(027);
  const bool written = writeFileAtomically(path("fresh.lk2"), "x");
  ::umask(previous);
  ASSERT_TRUE(written);
  EXPECT_EQ(modeOf(path("fresh.lk2")), 0640u);  // 0666 less the umask
  EXPECT_EQ(names(), (std::vector<std::string>{"fresh.lk2", "old.lk2"}));
}

TEST_F(AtomicFile, ALinkIsWrittenThroughAndStaysALink) {
  std::ofstream(path("LK24.ini")) << "old";
  fs::create_symlink("LK24.ini", path("alias.ini"));
  ASSERT_TRUE(writeFileAtomically(path("alias.ini"), "new"));
  EXPECT_TRUE(fs::is_symlink(path("alias.ini")));
  EXPECT_EQ(readAll(path("LK24.ini")), "new");
}

TEST_F(AtomicFile, AFailedWriteKeepsTheOldFileLeavesNoTemporaryFileAndSaysWhy) {
  std::ofstream(path("keep.lk2")) << "old";
  // The file-size limit binds root as well and fails the write as a full disk would.
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string reason;
  const bool written = writeFileAtomically(path("keep.lk2"), std::string(10000, 'x'), &reason);
  ::setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(reason, std::strerror(EFBIG));
  EXPECT_EQ(readAll(path("keep.lk2")), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"keep.lk2"});

  EXPECT_FALSE(writeFileAtomically(path("nodir/keep.lk2"), "x", &reason));
  EXPECT_EQ(reason, std::strerror(ENOENT));
}

TEST_F(AtomicFile, AFileTheUserMayNotWriteIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  std::ofstream(path("locked.lk2")) << "old";
  ASSERT_EQ(::chmod(path("locked.lk2").c_str(), 0444), 0);
  std::string reason;
  EXPECT_FALSE(writeFileAtomically(path("locked.lk2"), "new", &reason));
  EXPECT_EQ(reason, std::strerror(EACCES));
  EXPECT_EQ(readAll(path("locked.lk2")), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"locked.lk2"});
}

}  // namespace
}  // namespace lk24
