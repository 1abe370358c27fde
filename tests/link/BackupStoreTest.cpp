// The default backup store gives a reason, and leaves no file, when it
// cannot write: the program run then writes nothing to the device.

#include "link/FolderBackupStore.h"
#include "model/TemplateFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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
  EXPECT_EQ(result.reason, QStringLiteral("Ordner \"%1\" kann nicht angelegt werden").arg(folder()));
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
                               .arg(folder(), QString::fromLocal8Bit(std::strerror(EFBIG))));
  EXPECT_TRUE(files().isEmpty());
}

}  // namespace
}  // namespace lk24::test
