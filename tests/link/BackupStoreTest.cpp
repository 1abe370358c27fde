// The default backup store gives a reason, and leaves no file, when it
// cannot write: the program run then writes nothing to the device.

#include "link/FolderBackupStore.h"
#include "model/TemplateFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

namespace lk24::test {
namespace {

class FolderBackup : public ::testing::Test {
 protected:
  QTemporaryDir root_;
  FolderBackupStore store_{root_.filePath("LK24.ini").toStdString()};
  DeviceBackup backup_{"Sender-00042-20261208-181342.lk2", {}};

  void SetUp() override {
    ConfigImage image;
    image.DeviceImage.fill(0x42);
    backup_.lines = fileLines(image, 1, kUnknownText, kUnknownText);
  }
  QString folder() const { return root_.filePath("Sicherungen"); }
  // Hidden ones too: the reservation and the temporary file start with a dot.
  QStringList files() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }
  std::string inFolder(const std::string& name) const { return QDir(folder()).filePath(QString::fromStdString(name)).toStdString(); }
  static QByteArray bytesOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // The backup's name a dangling symbolic link, "-2" another backup: this
  // one must become "-3" and leave both as they were.
  void takeTheFirstTwoNames() {
    ASSERT_TRUE(QDir().mkpath(folder()));
    std::filesystem::create_symlink(inFolder("elsewhere.lk2"), inFolder(backup_.fileName));
    QFile second(QString::fromStdString(inFolder("Sender-00042-20261208-181342-2.lk2")));
    ASSERT_TRUE(second.open(QIODevice::WriteOnly));
    second.write("an earlier backup\n");
  }
  std::string thirdName() const { return inFolder("Sender-00042-20261208-181342-3.lk2"); }
  void expectTheThirdNameAndTheOthersUntouched() {
    EXPECT_EQ(bytesOf(thirdName()), QByteArray::fromStdString(backup_.lines.text()));
    std::error_code noLink;
    EXPECT_EQ(std::filesystem::read_symlink(inFolder(backup_.fileName), noLink), inFolder("elsewhere.lk2"));
    EXPECT_FALSE(std::filesystem::exists(inFolder("elsewhere.lk2"))) << "the link was followed";
    EXPECT_EQ(bytesOf(inFolder("Sender-00042-20261208-181342-2.lk2")), QByteArray("an earlier backup\n"));
    EXPECT_EQ(files().size(), 3) << files().join(' ').toStdString();  // nothing hidden left behind
  }
};

TEST_F(FolderBackup, AFileInThePlaceOfTheFolderGivesTheReason) {
  QFile blocker(folder());
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const BackupResult result = store_.store(backup_);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.reason, QStringLiteral("Ordner \"%1\" kann nicht angelegt werden").arg(folder()).toStdString());
  EXPECT_TRUE(QFileInfo(folder()).isFile());
}

TEST_F(FolderBackup, AFullDiskLeavesNoPartialBackup) {
  // The file-size limit makes every write beyond it fail, as a full disk does.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = old;
  tight.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  const BackupResult result = store_.store(backup_);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.reason, QStringLiteral("\"%1/Sender-00042-20261208-181342.lk2\" kann nicht geschrieben werden (%2)")
                               .arg(folder(), QString::fromLocal8Bit(std::strerror(EFBIG)))
                               .toStdString());
  EXPECT_TRUE(files().isEmpty()) << files().join(' ').toStdString();
}

TEST_F(FolderBackup, ATakenNameOrADanglingLinkIsNeverReplacedNorFollowed) {
  takeTheFirstTwoNames();
  const BackupResult result = store_.store(backup_);
  EXPECT_TRUE(result.saved) << result.reason;
  EXPECT_EQ(result.path, thirdName());
  expectTheThirdNameAndTheOthersUntouched();
}

// link(2) and linkat(2) fail with EPERM from here on, as on a file system
// without hard links.
bool refuseHardLinks() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#ifdef __NR_link
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_link, 2, 0),
#else
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_linkat, 2, 0),
#endif
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_linkat, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST_F(FolderBackup, WithoutHardLinksABackupIsStillWholeAndReplacesNothing) {
  takeTheFirstTwoNames();
  const std::string probe = inFolder("probe");
  // The store runs in a child process, the only one under the filter.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!refuseHardLinks()) ::_exit(10);
    if (::link(inFolder("Sender-00042-20261208-181342-2.lk2").c_str(), probe.c_str()) == 0 || errno != EPERM) {
      ::_exit(11);  // the filter did not take: the store's other path would not run
    }
    const BackupResult result = store_.store(backup_);
    ::_exit(result.saved && result.path == thirdName() ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 10) << "no seccomp filter here";
  ASSERT_NE(WEXITSTATUS(status), 11);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "not saved, or not under the third name";
  expectTheThirdNameAndTheOthersUntouched();
}

// Two programs backing up devices with one serial number in the same second
// (two lk24ctl on one folder, the window beside lk24ctl) must each keep
// their own file: a name taken in the meantime is never replaced.
TEST_F(FolderBackup, BackupsUnderOneNameNeverReplaceEachOther) {
  constexpr int kThreads = 2;
  constexpr int kEach = 20;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      FolderBackupStore store(root_.filePath("LK24.ini").toStdString());
      for (int i = 0; i < kEach; ++i) {
        ConfigImage image;
        image.DeviceImage.fill(static_cast<std::uint8_t>(t * kEach + i));
        const DeviceBackup backup{backup_.fileName, fileLines(image, 1, kUnknownText, kUnknownText)};
        if (!store.store(backup).saved) ++failures;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failures, 0);
  const QStringList all = QDir(folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  ASSERT_EQ(all.size(), kThreads * kEach) << all.join(' ').toStdString();  // no temporary file left either
  std::set<int> contents;
  for (const QString& name : all) {
    LineList lines;
    ASSERT_EQ(lines.loadFromFile(QDir(folder()).filePath(name).toStdString()), FileReadStatus::Ok);
    const std::optional<Table> image = parseDeviceImage(lines);
    ASSERT_TRUE(image);
    contents.insert((*image)[0]);
  }
  EXPECT_EQ(contents.size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace lk24::test
