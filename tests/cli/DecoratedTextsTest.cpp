// lk24ctl's exit status comes from how the link says a request ended, not
// from the wording of its messages: each ending of the exit-status table,
// run once with the link's texts as they are and once with every one of
// them decorated, ends with the same status.

#include "CtlProcess.h"

#include "cli/args/CommandLine.h"
#include "cli/commands/Commands.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/platform/MainLoop.h"
#include "link/LinkTexts.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <csignal>
#include <cstdlib>
#include <memory>

namespace lk24::test {
namespace {

using devsim::DeviceType;
using devsim::Options;
using devsim::test::startedDevice;

struct Case {
  const char* ending;
  std::vector<std::string> args;  // after the template, port and --json
  Options device;
  int status;
  bool portMissing = false;
  bool interrupted = false;  // a SIGTERM during the read
};

Options with(void (*set)(Options&)) {
  Options options;
  set(options);
  return options;
}

class CtlDecoratedTexts : public ::testing::Test {
 protected:
  struct Run {
    int status = -1;
    QJsonObject json;
  };

  Run run(const Case& c, bool decorated) {
    auto device = startedDevice(c.device);
    const std::string port = c.portMissing ? folder_.file("kein-adapter") : device->slavePath();
    ::setenv("LK24_COM1", port.c_str(), 1);
    std::vector<std::string> args{"--json", "--quiet", "--template", folder_.file("LK24.ini"), "-p", "COM1"};
    args.insert(args.begin(), c.args.begin(), c.args.end());
    if (args.front() == "read") {
      args.insert(args.end(), {"-o", folder_.file(std::string(decorated ? "d-" : "p-") + c.ending + ".lk2")});
    }
    const cli::ParsedArguments parsed = cli::parseArguments(args);
    EXPECT_TRUE(parsed.arguments) << parsed.error;
    if (!parsed.arguments) return {};

    linktext::setDecoration(decorated ? [](const std::string& text) { return "<<" + text + ">>"; }
                                      : std::function<std::string(const std::string&)>());
    std::unique_ptr<cli::InterruptWatch> watch;
    if (c.interrupted) {
      watch = std::make_unique<cli::InterruptWatch>(cli::mainLoop());
      cli::mainLoop().startTimer(std::chrono::milliseconds(100), false, [] { std::raise(SIGTERM); });
    }
    ::testing::internal::CaptureStdout();
    Run result;
    result.status = cli::runCommand(*parsed.arguments, watch.get());
    result.json = QJsonDocument::fromJson(QByteArray::fromStdString(::testing::internal::GetCapturedStdout())).object();
    linktext::setDecoration({});
    ::unsetenv("LK24_COM1");
    return result;
  }

  static bool logDecorated(const QJsonObject& json) {
    for (const auto& line : json.value("log").toArray()) {
      if (line.toObject().value("text").toString().startsWith("<<")) return true;
    }
    return false;
  }

  void SetUp() override {
    // The files to program and to restore, read from a receiver and a transmitter.
    ASSERT_EQ(run({"receiver", {"read"}, {}, 0}, false).status, 0);
    ASSERT_EQ(run({"transmitter", {"read"}, with([](Options& o) { o.type = DeviceType::Transmitter; }), 0}, false)
                  .status,
              0);
  }

  CtlFolder folder_;
};

TEST_F(CtlDecoratedTexts, EveryEndingHasItsStatusWhateverTheTextsSay) {
  const std::string file = folder_.file("p-receiver.lk2");
  const std::string transmitter = folder_.file("p-transmitter.lk2");
  const std::string unusableFolder = folder_.file("LK24.ini") + "/Sicherungen";
  const Case cases[] = {
      {"read-done", {"read"}, {}, 0},
      {"read-checksum", {"read"}, with([](Options& o) { o.badChecksum = true; }), 7},
      {"read-no-answer", {"read"}, with([](Options& o) { o.silent = true; }), 4},
      {"read-disturbed", {"read"}, with([](Options& o) { o.noisyAnswer = 5; }), 4},
      // A wrong checksum is read again; the second read cut off is no success.
      {"read-second-cut", {"read"}, with([](Options& o) { o.badChecksum = true;
                                        o.stopAfter = 256 + 10; }), 4},
      {"read-port", {"read"}, {}, 3, true},
      {"read-interrupted", {"read"}, with([](Options& o) { o.latencyMs = 20; }), 128 + SIGTERM, false, true},
      {"program-done", {"program", file}, {}, 0},
      {"program-protected", {"program", file}, with([](Options& o) { o.writeProtected = true; }), 6},
      {"program-firmware", {"program", file}, with([](Options& o) { o.firmware = {{2, 0}}; }), 6},
      {"program-verify", {"program", file}, with([](Options& o) { o.badChecksum = true;
                                                                o.stuckAt = 239; }), 5},
      {"program-backup", {"program", "--backup-dir", unusableFolder, file}, {}, 2},
      {"restore-other-device", {"restore", transmitter}, {}, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ending);
    const Run plain = run(c, false);
    const Run decorated = run(c, true);
    EXPECT_EQ(plain.status, c.status);
    EXPECT_EQ(decorated.status, c.status);
    EXPECT_FALSE(logDecorated(plain.json));
    // Interrupted at once, the read has shown nothing yet.
    if (!c.interrupted) {
      EXPECT_TRUE(logDecorated(decorated.json));
    }
  }
}

TEST_F(CtlDecoratedTexts, TheDeviceOfAVerifyDifferenceIsTheOneReadBack) {
  const Case stuck{"verify-facts", {"program", folder_.file("p-receiver.lk2")},
                   with([](Options& o) { o.badChecksum = true;
                                                                o.stuckAt = 239; }), 5};
  const Run result = run(stuck, false);
  ASSERT_EQ(result.status, 5);
  // The file's checksum is right; the device kept its wrong one.
  EXPECT_FALSE(result.json.value("device").toObject().value("checksumRight").toBool(true));
  const QJsonArray differences = result.json.value("differences").toArray();
  ASSERT_EQ(differences.size(), 1);
  const QJsonObject stuckCell = differences.first().toObject();
  EXPECT_EQ(stuckCell.value("address").toInt(), 239);
  EXPECT_NE(stuckCell.value("expected").toInt(-1), stuckCell.value("actual").toInt(-1));
}

}  // namespace
}  // namespace lk24::test
