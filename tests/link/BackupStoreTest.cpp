// The default backup store gives a reason, and leaves no file, when it
// cannot write: the program run then writes nothing to the device.

#include "link/FolderBackupStore.h"
#include "model/TemplateFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <set>
#include <thread>
#include <vector>
#include <sys/resource.h>

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
  QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }
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
  EXPECT_TRUE(files().isEmpty());
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
