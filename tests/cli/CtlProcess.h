#pragma once
// lk24ctl as a user runs it: a separate process in a scratch folder that
// holds the shipped template, talking to a simulated device of this process.

#include "sim/SimTestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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

// env: variables to set for this run only; program: a copy of lk24ctl elsewhere.
inline void startCtl(QProcess& process, const CtlFolder& folder, const QStringList& args,
                     const QStringList& env = {}, const QString& program = ctlPath()) {
  process.setWorkingDirectory(folder.path("."));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const QString& pair : env) environment.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
  process.setProcessEnvironment(environment);
  process.start(program, args);
}

// A started lk24ctl to its end (killed after a minute), with what it printed.
inline CtlResult finished(QProcess& process) {
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

inline CtlResult runCtl(const CtlFolder& folder, const QStringList& args, const QStringList& env = {},
                        const QString& program = ctlPath()) {
  QProcess process;
  startCtl(process, folder, args, env, program);
  return finished(process);
}

// A file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Polls done every 5 ms until it holds; false after ms milliseconds.
template <typename Condition>
bool waitFor(Condition done, int ms = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline QString slave(const devsim::DeviceSimulator& device) { return QString::fromStdString(device.slavePath()); }

}  // namespace lk24::test
