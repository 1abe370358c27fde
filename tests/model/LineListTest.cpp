#include "model/LineList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lk24 {
namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

TEST(LineListText, EveryLineEndingEndsALine) {
  LineList lines;
  lines.setText("a\r\nb\nc\rd");
  ASSERT_EQ(lines.count(), 4);
  EXPECT_EQ(lines.line(0), "a");
  EXPECT_EQ(lines.line(1), "b");
  EXPECT_EQ(lines.line(2), "c");
  EXPECT_EQ(lines.line(3), "d");

  lines.setText("x\r\n\r\ny\r\n");
  ASSERT_EQ(lines.count(), 3);  // a final ending adds no empty line
  EXPECT_EQ(lines.line(1), "");

  lines.setText("p\r\r\nq");  // CR then CR LF: an empty line between
  ASSERT_EQ(lines.count(), 3);
  EXPECT_EQ(lines.line(1), "");
  EXPECT_EQ(lines.line(2), "q");
}

TEST(LineListText, LinesBeyondTheEndReadEmpty) {
  LineList lines;
  lines.setText("only\r\n");
  EXPECT_EQ(lines.line(1), "");
  EXPECT_EQ(lines.line(5000), "");
  EXPECT_EQ(lines.line(-1), "");
}

TEST(LineListText, WritesCrLfAfterEveryLine) {
  LineList lines;
  lines.append("1");
  lines.append("");
  lines.append("-3");
  EXPECT_EQ(lines.text(), "1\r\n\r\n-3\r\n");
}

class LineListFiles : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
};

TEST_F(LineListFiles, SaveAndLoadRoundTrip) {
  LineList out;
  for (int i = 0; i < 1040; ++i) out.append(std::to_string(i));
  ASSERT_EQ(out.saveToFile(path("a.lk2")), FileWriteStatus::Ok);
  EXPECT_EQ(readAll(path("a.lk2")), out.text());
  LineList in;
  ASSERT_EQ(in.loadFromFile(path("a.lk2")), FileReadStatus::Ok);
  EXPECT_EQ(in.count(), 1040);
  EXPECT_EQ(in.line(1039), "1039");
}

TEST_F(LineListFiles, ReadFailuresAreNamedAndLeaveTheListEmpty) {
  LineList lines;
  lines.append("stale");
  EXPECT_EQ(lines.loadFromFile(path("missing.lk2")), FileReadStatus::Missing);
  EXPECT_EQ(lines.count(), 0);

  ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
  EXPECT_EQ(lines.loadFromFile(path("sub")), FileReadStatus::Unreadable);
  EXPECT_EQ(lines.loadFromFile("/dev/zero"), FileReadStatus::Unreadable);

  writeAll(path("big.lk2"), std::string(LineList::kMaxFileBytes + 1, '1'));
  EXPECT_EQ(lines.loadFromFile(path("big.lk2")), FileReadStatus::TooLarge);

  writeAll(path("locked.lk2"), "1\r\n");
  ::chmod(path("locked.lk2").c_str(), 0);
  if (::geteuid() != 0) {  // root reads whatever the mode says
    EXPECT_EQ(lines.loadFromFile(path("locked.lk2")), FileReadStatus::Unreadable);
  }
}

TEST_F(LineListFiles, SparseHugeFileIsRefusedWithoutReadingIt) {
  // A file of several gigabytes that takes no disk space.
  const std::string big = path("huge.lk2");
  {
    std::ofstream out(big, std::ios::binary);
  }
  ASSERT_EQ(::truncate(big.c_str(), 4LL << 30), 0);
  LineList lines;
  EXPECT_EQ(lines.loadFromFile(big), FileReadStatus::TooLarge);
}

TEST_F(LineListFiles, BinaryGarbageLoadsAsLinesWithoutFailing) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131) & 0xFF));
  writeAll(path("bin.lk2"), garbage);
  LineList lines;
  EXPECT_EQ(lines.loadFromFile(path("bin.lk2")), FileReadStatus::Ok);
  EXPECT_GT(lines.count(), 0);
}

// Each failure names its cause, so that the user is told what to do about it.
TEST_F(LineListFiles, FailedSaveLeavesTheOldFileIntactAndNamesTheCause) {
  writeAll(path("keep.lk2"), "old\r\n");
  LineList lines;
  for (int i = 0; i < 1040; ++i) lines.append("1234567890");
  // A name inside a directory that does not exist cannot be created.
  EXPECT_EQ(lines.saveToFile(path("nodir/keep.lk2")), FileWriteStatus::NoFolder);
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.lk2"));
  EXPECT_EQ(lines.saveToFile(path("folder.lk2")), FileWriteStatus::IsFolder);
  if (::geteuid() != 0) {  // permissions do not bind root
    writeAll(path("locked.lk2"), "old\r\n");
    ::chmod(path("locked.lk2").c_str(), 0444);
    EXPECT_EQ(lines.saveToFile(path("locked.lk2")), FileWriteStatus::NoPermission);
    ::unlink(path("locked.lk2").c_str());
  }

  // A write cut short by the file-size limit, which binds root as well: the
  // new text never replaces the old file, and no temporary file stays.
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const FileWriteStatus status = lines.saveToFile(path("keep.lk2"));
  ::setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(status, FileWriteStatus::DiskFull);
  EXPECT_EQ(readAll(path("keep.lk2")), "old\r\n");
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.lk2")});
}

}  // namespace
}  // namespace lk24
