#pragma once
// lk24ctl as a user runs it: a separate process in a scratch folder that
// holds the shipped template, talking to a simulated device of this process.

#include "sim/SimTestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>

namespace lk24::test {

using devsim::test::ScratchDir;

inline QString ctlPath() { return QStringLiteral(LK24_BINARY_DIR "/cli/lk24ctl"); }

struct CtlResult {
  int exitCode = -1;
  QString out;
  QString err;

  // The one JSON document --json prints on stdout.
  QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// A scratch folder with the shipped template as LK24.ini.
class CtlFolder : public ScratchDir {
 public:
  CtlFolder() {
    std::filesystem::copy_file(LK24_SOURCE_DIR "/templates/LK24.ini", file("LK24.ini"));
  }
  QString path(const std::string& name) const { return QString::fromStdString(file(name)); }
};

inline void startCtl(QProcess& process, const CtlFolder& folder, const QStringList& args) {
  process.setWorkingDirectory(folder.path("."));
  process.start(ctlPath(), args);
}

inline CtlResult runCtl(const CtlFolder& folder, const QStringList& args) {
  QProcess process;
  startCtl(process, folder, args);
  CtlResult result;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
  }
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = QString::fromUtf8(process.readAllStandardOutput());
  result.err = QString::fromUtf8(process.readAllStandardError());
  return result;
}

inline QString slave(const devsim::DeviceSimulator& device) { return QString::fromStdString(device.slavePath()); }

}  // namespace lk24::test
