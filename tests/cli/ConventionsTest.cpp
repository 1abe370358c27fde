// What scripts rely on: options as getopt_long reads them, one JSON document
// even for a usage error, the package's version, data on stdout and messages
// on stderr, the record's format, and where backups go.

#include "CtlProcess.h"
#include "cli/args/CommandLine.h"
#include "cli/session/PortList.h"
#include "cli/session/RunRecord.h"
#include "cli/output/Sha256.h"
#include "serial/AfPortResolver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>

namespace lk24::test {
namespace {

using cli::parseArguments;
using devsim::test::startedDevice;

TEST(CtlOptions, AreParsedAsGetoptLongParsesThem) {
  const auto joined = parseArguments({"info", "--port=COM2", "--template=other.ini"});
  ASSERT_TRUE(joined.arguments) << joined.error;
  EXPECT_EQ(joined.arguments->port, "COM2");
  EXPECT_EQ(joined.arguments->templatePath, "other.ini");
  const auto attached = parseArguments({"-qpCOM1", "read", "-o", "x.lk2"});
  ASSERT_TRUE(attached.arguments) << attached.error;
  EXPECT_EQ(attached.arguments->port, "COM1");
  EXPECT_TRUE(attached.arguments->quiet);
  const auto dashed = parseArguments({"program", "-p", "COM1", "--", "--each"});
  ASSERT_TRUE(dashed.arguments) << dashed.error;
  EXPECT_EQ(dashed.arguments->file, "--each");
  EXPECT_FALSE(dashed.arguments->each);

  struct Refused {
    std::vector<std::string> args;
    const char* named;
  };
  const Refused refused[] = {
      {{"info", "-p", "COM1", "--port", "COM2"}, "\"--port\" ist doppelt"},
      {{"program", "--json", "-p", "COM1", "--json", "f.lk2"}, "\"--json\" ist doppelt"},
      {{"info", "--json=yes", "-p", "COM1"}, "nimmt keinen Wert"},
      {{"verify", "-p", "COM1", "--count", "2", "f.lk2"}, "--count ist hier nicht möglich"},
      {{"program", "-p", "COM1", "--count", "2", "f.lk2"}, "nur mit --each"},
      {{"program", "-p", "COM1", "--each", "--count", "0", "f.lk2"}, "--count \"0\""},
      {{"program", "-p", "COM1", "--expect-type", "relais", "f.lk2"}, "relais"},
      {{"help", "flash"}, "flash"},
  };
  for (const Refused& r : refused) {
    const auto parsed = parseArguments(r.args);
    EXPECT_FALSE(parsed.arguments) << r.args.front() << " " << r.args.back();
    EXPECT_NE(parsed.error.find(r.named), std::string::npos) << parsed.error;
  }
}

TEST(CtlOptions, HelpForOneCommandAndTheVersionOfThePackage) {
  CtlFolder folder;
  const CtlResult viaHelp = runCtl(folder, {"help", "program"});
  const CtlResult viaOption = runCtl(folder, {"program", "--help"});
  EXPECT_EQ(viaHelp.exitCode, 0);
  EXPECT_EQ(viaHelp.out, viaOption.out);
  EXPECT_TRUE(viaHelp.out.startsWith(QStringLiteral("Aufruf: lk24ctl program --port PORT"))) << viaHelp.out.toStdString();
  EXPECT_TRUE(viaHelp.out.contains(QStringLiteral("--stop-on-failure")));
  EXPECT_FALSE(runCtl(folder, {"help", "read"}).out.contains(QStringLiteral("--stop-on-failure")));
  EXPECT_EQ(runCtl(folder, {"--version"}).out, QStringLiteral("lk24ctl " LK24_PROJECT_VERSION " (LK24 -config-)\n"));

  // The man page names every option and command that --help names.
  QFile manPage(QStringLiteral(LK24_SOURCE_DIR "/cli/lk24ctl.1"));
  ASSERT_TRUE(manPage.open(QIODevice::ReadOnly));
  const QString man = QString::fromUtf8(manPage.readAll()).remove(QLatin1Char('\\'));
  const QString help = runCtl(folder, {"--help"}).out;
  static const QRegularExpression named(QStringLiteral("(--[a-z-]+|lk24ctl [a-z]+)"));
  int looked = 0;
  for (const QRegularExpressionMatch& m : named.globalMatch(help)) {
    ++looked;
    EXPECT_TRUE(man.contains(m.captured(1))) << m.captured(1).toStdString() << " is missing from lk24ctl.1";
  }
  EXPECT_GT(looked, 15);
}

TEST(CtlOptions, AUsageErrorWithJsonIsOneDocumentOnStdout) {
  CtlFolder folder;
  const CtlResult result = runCtl(folder, {"read", "--json"});
  EXPECT_EQ(result.exitCode, 1);
  const QJsonObject json = result.json();
  EXPECT_EQ(json["result"].toString(), "usage");
  EXPECT_EQ(json["exitStatus"].toInt(), 1);
  EXPECT_EQ(json["schema"].toInt(), 1);
  EXPECT_EQ(json["tool"].toString(), LK24_PROJECT_VERSION);
  EXPECT_EQ(json["command"].toString(), "read");
  EXPECT_EQ(result.out.count(QLatin1Char('\n')), 1);
  EXPECT_TRUE(result.err.contains(QStringLiteral("--port fehlt")));
}

TEST(CtlOptions, PortsListsTheMappedPortAsTextAndJson) {
  CtlFolder folder;
  auto device = startedDevice();
  const QStringList env{QStringLiteral("LK24_COM3=") + slave(*device)};
  const CtlResult text = runCtl(folder, {"ports"}, env);
  EXPECT_EQ(text.exitCode, 0);
  const QString com3 = text.out.split(QLatin1Char('\n')).value(2);
  EXPECT_TRUE(com3.startsWith(QStringLiteral("COM3: "))) << text.out.toStdString();
  EXPECT_TRUE(com3.contains(slave(*device))) << com3.toStdString();
  EXPECT_TRUE(com3.endsWith(QStringLiteral("frei"))) << com3.toStdString();
  const QJsonObject json = runCtl(folder, {"ports", "--json"}, env).json();
  EXPECT_EQ(json["schema"].toInt(), 1);
  const QJsonObject entry = json["comPorts"].toArray()[2].toObject();
  EXPECT_EQ(entry["name"].toString(), "COM3");
  EXPECT_EQ(entry["device"].toString(), slave(*device));
  EXPECT_EQ(entry["state"].toString(), "free");
}

// A port no group may open names root, never a group the user could join.
TEST(CtlOptions, PortsNamesTheGroupOnlyWhenOneMayOpenThePort) {
  cli::PortEntry entry;
  TAfPortAccess access;
  access.state = TAfPortState::NoPermission;
  access.group = "uucp";
  cli::judge(entry, access);
  EXPECT_EQ(entry.availability, "keine Berechtigung (Gruppe uucp)");
  access.group.clear();
  cli::judge(entry, access);
  EXPECT_EQ(entry.availability, "keine Berechtigung (nur root)");
}

// The progress line only on a terminal that can take it back (script(1)
// gives lk24ctl one); -q leaves nothing but the data.
TEST(CtlOptions, ProgressOnlyOnATerminalThatIsNotDumbAndQuietMeansQuiet) {
  CtlFolder folder;
  auto device = startedDevice();
  auto onTerminal = [&](const char* term) {
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TERM"), QString::fromLatin1(term));
    script.setProcessEnvironment(environment);
    script.setWorkingDirectory(folder.path("."));
    script.start(QStringLiteral("script"), {"-qec", ctlPath() + " info -p " + slave(*device), "/dev/null"});
    EXPECT_TRUE(script.waitForFinished(30000));
    return QString::fromUtf8(script.readAllStandardOutput());
  };
  EXPECT_TRUE(onTerminal("xterm").contains(QStringLiteral("\r\033[Kread"))) << "no progress on a terminal";
  const QString dumb = onTerminal("dumb");
  EXPECT_TRUE(dumb.contains(QStringLiteral("Seriennummer:     04711"))) << dumb.toStdString();
  EXPECT_FALSE(dumb.contains(QStringLiteral("\033[K"))) << dumb.toStdString();

  const CtlResult quiet = runCtl(folder, {"info", "-q", "-p", slave(*device)});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_TRUE(quiet.err.isEmpty()) << quiet.err.toStdString();
  EXPECT_TRUE(quiet.out.startsWith(QStringLiteral("Gerät:            Empfänger"))) << quiet.out.toStdString();
}

// Sicherungen beside the template cannot be a folder here: the backups go to
// the user's data folder, and the output says so; --backup-dir goes first.
TEST(CtlOptions, BackupsFallBackToTheDataFolderUnlessAFolderIsGiven) {
  CtlFolder folder;
  auto device = startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "d.lk2"}).exitCode, 0);
  std::ofstream(folder.file("Sicherungen")) << "a file";
  const QStringList env{QStringLiteral("XDG_DATA_HOME=") + folder.path("data")};
  const CtlResult fallback = runCtl(folder, {"program", "-p", slave(*device), "d.lk2"}, env);
  EXPECT_EQ(fallback.exitCode, 0) << fallback.err.toStdString();
  EXPECT_TRUE(fallback.err.contains(folder.path("data/lk24/Sicherungen"))) << fallback.err.toStdString();
  EXPECT_EQ(QDir(folder.path("data/lk24/Sicherungen")).entryList(QDir::Files).size(), 1);
  const CtlResult given = runCtl(folder, {"program", "-p", slave(*device), "--backup-dir", "kept", "d.lk2"}, env);
  EXPECT_EQ(given.exitCode, 0) << given.err.toStdString();
  EXPECT_EQ(QDir(folder.path("kept")).entryList(QDir::Files).size(), 1);
}

TEST(CtlRecord, FieldsAreQuotedAsRfc4180AndTheHeaderComesOnce) {
  EXPECT_EQ(cli::csvLine({"a", "b,c", "say \"hi\"", "two\nlines", ""}),
            "a,\"b,c\",\"say \"\"hi\"\"\",\"two\nlines\",\r\n");
  EXPECT_EQ(cli::sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(cli::sha256Hex(std::string(1000, 'a') + "abc"),
            "cf7d216094e932e0cf4fc60d10daaea040e44547ef475c07a3ce0d77854ff4e2");

  CtlFolder folder;
  for (int run = 0; run < 2; ++run) {
    cli::RunRecord record;
    std::string error;
    ASSERT_TRUE(record.open(folder.file("r.csv"), &error)) << error;
    cli::RecordRow row;
    row.command = "read";
    row.file = "Kunde, Müller.lk2";
    ASSERT_TRUE(record.append(row, &error)) << error;
  }
  std::ifstream in(folder.file("r.csv"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(text.find("time,station"), 0u);
  EXPECT_EQ(text.rfind("time,station"), 0u);
  EXPECT_NE(text.find(",\"Kunde, Müller.lk2\","), std::string::npos);
}

// A full disk (a file size limit here) in the middle of a row: the file is
// cut back to its last whole row, and the next row after space was freed is
// a whole row of its own, never glued onto half of one.
TEST(CtlRecord, AFullDiskLeavesOnlyWholeRowsAndNoEmptyFile) {
  CtlFolder folder;
  const std::string path = folder.file("r.csv");
  const auto fileText = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  };
  cli::RecordRow row;
  row.command = "program";
  row.file = "batch.lk2";
  row.sha256 = std::string(64, 'a');

  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  const auto limitTo = [&](rlim_t bytes) {
    rlimit limit = previous;
    limit.rlim_cur = bytes;
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
  };
  std::string error;
  bool newOnFullDisk = true;
  bool firstRow = false;
  bool halfRow = true;
  std::string afterHalfRow;
  {
    ASSERT_TRUE(limitTo(20));
    cli::RunRecord record;
    newOnFullDisk = record.open(path, &error);
  }
  const bool leftAFile = std::filesystem::exists(path);
  {
    cli::RunRecord record;
    ASSERT_TRUE(limitTo(previous.rlim_cur));
    ASSERT_TRUE(record.open(path, &error)) << error;
    firstRow = record.append(row, &error);
    ASSERT_TRUE(limitTo(static_cast<rlim_t>(fileText().size() + 40)));
    halfRow = record.append(row, &error);
    afterHalfRow = fileText();
    ASSERT_TRUE(limitTo(previous.rlim_cur));
    EXPECT_TRUE(record.append(row, &error)) << error;
  }
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(newOnFullDisk);
  EXPECT_FALSE(leftAFile) << "a record that could not take its header is no file";
  EXPECT_TRUE(firstRow);
  EXPECT_FALSE(halfRow);
  EXPECT_NE(error.find("r.csv"), std::string::npos);
  ASSERT_GE(afterHalfRow.size(), 2u);
  EXPECT_EQ(afterHalfRow.substr(afterHalfRow.size() - 2), "\r\n");
  const std::string text = fileText();
  std::size_t rows = 0;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2, ++rows) {
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 12) << line;
  }
  EXPECT_EQ(rows, 3u);  // the header and two whole rows
}

TEST(CtlRecord, AFifoIsRefusedWithoutWaitingForAReader) {
  CtlFolder folder;
  const std::string path = folder.file("fifo.csv");
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
  cli::RunRecord record;
  std::string error;
  EXPECT_FALSE(record.open(path, &error));  // blocked for ever before
  EXPECT_NE(error.find("fifo.csv"), std::string::npos);
}

}  // namespace
}  // namespace lk24::test

namespace lk24::test {
namespace {

// A good device whose row the record could not take: the verdict says so,
// never "OK", and the status is 2.
TEST(CtlRecord, ARowThatCannotBeWrittenTurnsTheVerdict) {
  CtlFolder folder;
  auto device = devsim::test::startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "cfg.lk2", "--record", "r.csv"}).exitCode, 0);
  // Rows enough that the backup stays below the limit the next row exceeds.
  std::string rows;
  {
    std::ifstream in(folder.file("r.csv"), std::ios::binary);
    rows.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string lastRow = rows.substr(rows.find("\r\n") + 2);
  {
    std::ofstream out(folder.file("r.csv"), std::ios::binary | std::ios::app);
    for (int i = 0; i < 2000; ++i) out << lastRow;
  }
  const auto limit = static_cast<rlim_t>(std::filesystem::file_size(folder.file("r.csv")) + 20);
  QProcess process;
  process.setChildProcessModifier([limit] {
    const rlimit fileSize{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &fileSize);
    std::signal(SIGXFSZ, SIG_IGN);
  });
  startCtl(process, folder, {"program", "-p", slave(*device), "--record", "r.csv", "cfg.lk2"});
  ASSERT_TRUE(process.waitForFinished(60000));
  const QString out = QString::fromUtf8(process.readAllStandardOutput());
  EXPECT_EQ(process.exitCode(), 2) << process.readAllStandardError().toStdString();
  EXPECT_TRUE(out.startsWith(QStringLiteral("FEHLER "))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("r.csv"))) << out.toStdString();
}

}  // namespace
}  // namespace lk24::test
