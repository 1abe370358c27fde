// lk24ctl links no Qt and loads the report module for report alone: where
// the module is missing, broken or of another version, report says which
// file and why, and every other command works as before.

#include "CtlProcess.h"
#include "model/TemplateFormat.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace lk24::test {
namespace {

namespace fs = std::filesystem;

QString ldd(const QString& file) {
  QProcess process;
  process.start(QStringLiteral("ldd"), {file});
  EXPECT_TRUE(process.waitForFinished(30000)) << "ldd did not finish";
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(CtlWithoutQt, TheProgramLinksNoQtLibraryAndTheModuleDoes) {
  const QString program = ldd(ctlPath());
  // A listing of the libraries at all, not an error that matches nothing.
  ASSERT_TRUE(program.contains(QStringLiteral("libc.so"))) << program.toStdString();
  EXPECT_FALSE(program.contains(QStringLiteral("libQt"))) << program.toStdString();
  // The same words find Qt where it is: in the module beside the program.
  const QString module = ldd(QStringLiteral(LK24_BINARY_DIR "/cli/lk24-report.so"));
  EXPECT_TRUE(module.contains(QStringLiteral("libQt6Gui.so"))) << module.toStdString();
  EXPECT_FALSE(module.contains(QStringLiteral("not found"))) << module.toStdString();
}

// A copy of lk24ctl in a folder of its own, with whatever module the test
// puts beside it.
class CtlCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path packaged = fs::path(LK24_REPORT_PACKAGE_MODULE);
    if (fs::exists(packaged)) GTEST_SKIP() << "an installed module is found after the program's own: " << packaged;
    fs::create_directories(bin());
    fs::copy_file(ctlPath().toStdString(), bin() / "lk24ctl");
    ConfigImage image;
    image.AndMask.fill(0xFF);
    image.DeviceImage = devsim::defaultImage(devsim::DeviceType::Receiver);
    ASSERT_EQ(BuildFile(image, 1, kUnknownText, kUnknownText).saveToFile(folder_.file("a.lk2")), FileWriteStatus::Ok);
  }
  fs::path bin() const { return fs::path(folder_.file("bin")); }
  CtlResult run(const QStringList& args) {
    QProcess process;
    process.setWorkingDirectory(folder_.path("."));
    process.start(QString::fromStdString((bin() / "lk24ctl").string()), args);
    CtlResult result;
    EXPECT_TRUE(process.waitForFinished(60000));
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
  }
  void expectNoReport(const CtlResult& report, const QString& why) {
    EXPECT_EQ(report.exitCode, 2) << report.err.toStdString();
    EXPECT_TRUE(report.err.contains(why)) << report.err.toStdString();
    EXPECT_FALSE(fs::exists(folder_.file("a.pdf")));
  }
  CtlFolder folder_;
};

TEST_F(CtlCopy, WithoutTheModuleReportSaysSoAndTheOtherCommandsWork) {
  const CtlResult report = run({"report", "-o", "a.pdf", "a.lk2"});
  expectNoReport(report, QStringLiteral("das Berichtsmodul lk24-report.so fehlt"));
  EXPECT_TRUE(report.err.contains(QString::fromStdString((bin() / "lk24-report.so").string()))) << report.err.toStdString();
  EXPECT_TRUE(report.err.contains(QStringLiteral(LK24_REPORT_PACKAGE_MODULE))) << report.err.toStdString();

  const CtlResult shown = run({"show", "a.lk2"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
  EXPECT_TRUE(shown.out.contains(QStringLiteral("Alarm nach:")));
  EXPECT_EQ(run({"--version"}).exitCode, 0);
  // A usage error stays one.
  EXPECT_EQ(run({"report", "a.lk2"}).exitCode, 1);
}

TEST_F(CtlCopy, AModuleThatCannotBeLoadedOrSpeaksAnotherVersionIsNamed) {
  const fs::path module = bin() / "lk24-report.so";
  std::ofstream(module) << "no shared object";
  expectNoReport(run({"report", "-o", "a.pdf", "a.lk2"}), QStringLiteral("lässt sich nicht laden"));

  fs::copy_file(LK24_OTHER_VERSION_MODULE, module, fs::copy_options::overwrite_existing);
  expectNoReport(run({"report", "-o", "a.pdf", "a.lk2"}), QStringLiteral("gehört zu einer anderen Version"));

  // The module of the build, beside the copy, writes the report.
  fs::copy_file(LK24_BINARY_DIR "/cli/lk24-report.so", module, fs::copy_options::overwrite_existing);
  const CtlResult written = run({"report", "-o", "a.pdf", "a.lk2"});
  EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
  EXPECT_TRUE(fs::file_size(folder_.file("a.pdf")) > 0);
}

}  // namespace
}  // namespace lk24::test
