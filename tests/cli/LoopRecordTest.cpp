// A record that fails in the production loop, after it was opened: the
// loop ends with status 2, the device is counted as failed though it was
// programmed whole, and the file still ends with a whole row.

#include "CtlProcess.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

TEST(CtlLoopRecord, ARowThatFailsInTheLoopEndsItAsAFailedDeviceAndLeavesWholeRows) {
  CtlFolder folder;
  auto device = startedDevice();
  const QString port = slave(*device);
  ASSERT_EQ(runCtl(folder, {"read", "-p", port, "-o", "cfg.lk2", "--record", "rec.csv"}).exitCode, 0);
  // A record far larger than a backup, so that the size limit below stops
  // its next row but lets the backup through.
  {
    const QByteArray rows = fileBytes(folder.path("rec.csv"));
    const QByteArray row = rows.mid(rows.indexOf("\r\n") + 2);
    QFile file(folder.path("rec.csv"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    while (file.size() < 64 * 1024) file.write(row);
  }
  const QByteArray before = fileBytes(folder.path("rec.csv"));
  const auto limit = static_cast<rlim_t>(before.size() + 20);

  QProcess loop;
  loop.setChildProcessModifier([limit] {
    const rlimit fileSize{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &fileSize);
    std::signal(SIGXFSZ, SIG_IGN);
  });
  startCtl(loop, folder, {"program", "--each", "--record", "rec.csv", "-p", port, "cfg.lk2"});
  ASSERT_TRUE(loop.waitForFinished(60000));
  const QString out = QString::fromUtf8(loop.readAllStandardOutput());
  const QString err = QString::fromUtf8(loop.readAllStandardError());
  EXPECT_EQ(loop.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(loop.exitCode(), 2) << err.toStdString();
  EXPECT_TRUE(out.startsWith(QStringLiteral("FEHLER "))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("rec.csv"))) << out.toStdString();
  // Every byte was written and verified; only its row is missing.
  EXPECT_FALSE(out.contains(QStringLiteral("teilweise beschrieben"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("Zusammenfassung: 0 erfolgreich, 1 fehlerhaft"))) << out.toStdString();
  EXPECT_EQ(QDir(folder.path("Sicherungen")).entryList({"*.lk2"}, QDir::Files).size(), 1)
      << "the backup was let through, so the device was programmed";
  EXPECT_EQ(fileBytes(folder.path("rec.csv")), before) << "the file ends with the last whole row";
}

}  // namespace
}  // namespace lk24::test
