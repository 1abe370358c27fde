// lk24ctl links no Qt and loads the report module for report alone: where
// the module is missing, broken or of another version, report says which
// file and why, and every other command works as before.

#include "CtlProcess.h"
#include "model/TemplateFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace lk24::test {
namespace {

namespace fs = std::filesystem;

QString ldd(const QString& file) {
  QProcess process;
  process.start(QStringLiteral("ldd"), {file});
  EXPECT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0) << "ldd " << file.toStdString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(CtlWithoutQt, TheProgramLinksNoQtLibraryAndTheModuleDoes) {
  const QString program = ldd(ctlPath());
  ASSERT_TRUE(program.contains(QStringLiteral("libc.so"))) << program.toStdString();  // a listing at all
  EXPECT_FALSE(program.contains(QStringLiteral("libQt"))) << program.toStdString();
  // The same words find Qt where it is.
  const QString module = ldd(QStringLiteral(LK24_BINARY_DIR "/cli/lk24-report.so"));
  EXPECT_TRUE(module.contains(QStringLiteral("libQt6Gui.so"))) << module.toStdString();
  EXPECT_FALSE(module.contains(QStringLiteral("not found"))) << module.toStdString();
}

// A copy of lk24ctl in a folder of its own, with whatever module is put beside it.
TEST(CtlWithoutQt, WithoutAUsableModuleReportSaysWhyAndTheOtherCommandsWork) {
  if (fs::exists(LK24_REPORT_PACKAGE_MODULE)) GTEST_SKIP() << "installed: " << LK24_REPORT_PACKAGE_MODULE;
  CtlFolder folder;
  const fs::path bin = folder.file("bin");
  fs::create_directories(bin);
  fs::copy_file(ctlPath().toStdString(), bin / "lk24ctl");
  const QString copy = QString::fromStdString((bin / "lk24ctl").string());
  ConfigImage image;
  image.AndMask.fill(0xFF);
  image.DeviceImage = devsim::defaultImage(devsim::DeviceType::Receiver);
  ASSERT_EQ(BuildFile(image, 1, kUnknownText, kUnknownText).saveToFile(folder.file("a.lk2")), FileWriteStatus::Ok);
  const QStringList report{"report", "-o", "a.pdf", "a.lk2"};
  auto expectNoReport = [&](const QString& why) {
    const CtlResult refused = runCtl(folder, report, {}, copy);
    EXPECT_EQ(refused.exitCode, 2) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(why)) << refused.err.toStdString();
    EXPECT_FALSE(fs::exists(folder.file("a.pdf")));
  };

  expectNoReport(QStringLiteral("das Berichtsmodul lk24-report.so fehlt (gesucht: \"%1/lk24-report.so\", \"%2\")")
                     .arg(QString::fromStdString(bin.string()), QStringLiteral(LK24_REPORT_PACKAGE_MODULE)));
  const CtlResult shown = runCtl(folder, {"show", "a.lk2"}, {}, copy);
  EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
  EXPECT_TRUE(shown.out.contains(QStringLiteral("Alarm nach:")));
  EXPECT_EQ(runCtl(folder, {"report", "a.lk2"}, {}, copy).exitCode, 1);  // a usage error stays one

  std::ofstream(bin / "lk24-report.so") << "no shared object";
  expectNoReport(QStringLiteral("lässt sich nicht laden"));
  const auto replace = fs::copy_options::overwrite_existing;
  fs::copy_file(LK24_OTHER_VERSION_MODULE, bin / "lk24-report.so", replace);
  expectNoReport(QStringLiteral("gehört zu einer anderen Version von lk24ctl: das Modul spricht Version 99"));

  fs::copy_file(LK24_BINARY_DIR "/cli/lk24-report.so", bin / "lk24-report.so", replace);
  const CtlResult written = runCtl(folder, report, {}, copy);
  EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
  EXPECT_GT(fs::file_size(folder.file("a.pdf")), 0u);
}

}  // namespace
}  // namespace lk24::test
