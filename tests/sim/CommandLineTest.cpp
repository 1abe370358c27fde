// lk24-devsim as a user starts it: its options, its refusals, and a run
// that ends with a signal.

#include "PtyClient.h"
#include "SimTestSupport.h"

#include "model/LineList.h"
#include "model/TemplateFormat.h"
#include "tools/devsim/CommandLine.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <regex>

extern char** environ;

namespace lk24::devsim {
namespace {

using test::PtyClient;
using test::ScratchDir;

TEST(SimCommandLine, ReadsEveryOption) {
  const ParsedCommandLine parsed = parseCommandLine(
      {"--type", "transmitter", "--image=in.lk2", "--save", "out.lk2", "--silent", "--stop-after", "10",
       "--wrong-echo-at", "7", "--bad-checksum", "--firmware", "1.20", "--type-code", "30", "--write-protected",
       "--garbage", "2", "--latency-ms", "15", "--baud", "19200", "--trace", "t.txt", "--link", "/tmp/COM1",
       "--seed", "9", "--noisy-at", "50", "--extra-after", "3", "--loopback", "--wake-answer", "0",
       "--late-extra-after", "4", "--drop-answer", "5", "--drop-at", "6"});
  ASSERT_EQ(parsed.error, "");
  const Options& o = parsed.options;
  EXPECT_EQ(o.type, DeviceType::Transmitter);
  EXPECT_EQ(o.imageFile, "in.lk2");
  EXPECT_EQ(o.saveFile, "out.lk2");
  EXPECT_TRUE(o.silent);
  EXPECT_EQ(o.stopAfter, 10);
  EXPECT_EQ(o.wrongEchoAt, 7);
  EXPECT_TRUE(o.badChecksum);
  EXPECT_EQ(o.firmware, (std::pair{1, 20}));
  EXPECT_EQ(o.typeCode, 30);
  EXPECT_TRUE(o.writeProtected);
  EXPECT_EQ(o.garbage, 2);
  EXPECT_EQ(o.latencyMs, 15);
  EXPECT_EQ(o.baud, 19200);
  EXPECT_EQ(o.traceFile, "t.txt");
  EXPECT_EQ(o.linkPath, "/tmp/COM1");
  EXPECT_EQ(o.seed, 9u);
  EXPECT_EQ(o.noisyAt, 50);
  EXPECT_EQ(o.extraAfter, 3);
  EXPECT_TRUE(o.loopback);
  EXPECT_EQ(o.wakeAnswer, 0);
  EXPECT_EQ(o.lateExtraAfter, 4);
  EXPECT_EQ(o.dropAnswer, 5);
  EXPECT_EQ(o.dropAt, 6);

  const ParsedCommandLine plain = parseCommandLine({});
  EXPECT_EQ(plain.error, "");
  EXPECT_EQ(plain.options.type, DeviceType::Receiver);
  EXPECT_FALSE(plain.options.silent);
  EXPECT_EQ(plain.options.baud, 0);
}

TEST(SimCommandLine, BadOptionsEndWithOneLineAndExitCodeTwo) {
  const std::vector<std::vector<std::string>> bad = {
      {"--frobnicate"},
      {"--type", "modem"},
      {"--stop-after"},
      {"--stop-after", "-1"},
      {"--stop-after", "3x"},
      {"--wrong-echo-at", "256"},
      {"--firmware", "1"},
      {"--firmware", "1.256"},
      {"--type-code", "twenty"},
      {"--garbage", "-2"},
      {"--latency-ms", ""},
      {"--baud", "0"},
      {"--noisy-at", "256"},
      {"--drop-at", "256"},
      {"--wake-answer", "256"},
      {"--silent=yes"},
      {"--image", "/nonexistent/device.lk2"},
      {"receiver"},
  };
  for (const auto& args : bad) {
    std::vector<std::string> storage{"lk24-devsim"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    SCOPED_TRACE(storage.back());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int code = runCommandLine(static_cast<int>(argv.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 2);
    EXPECT_EQ(out, "") << "no slave path for a device that never started";
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  }
}

TEST(SimCommandLine, TheManPageDescribesEveryOptionOfTheHelpText) {
  std::ifstream file(LK24_SOURCE_DIR "/tools/devsim/lk24-devsim.1");
  const std::string manPage{std::istreambuf_iterator<char>(file), {}};
  const std::regex option("\n  (--[a-z-]+)");
  const std::string help = usageText();
  int options = 0;
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it, ++options) {
    EXPECT_NE(manPage.find(std::regex_replace((*it)[1].str(), std::regex("-"), "\\-")), std::string::npos)
        << (*it)[1];
  }
  EXPECT_GT(options, 25);
}

// The program itself, started as a user would and ended by SIGTERM.
class RunningProgram {
 public:
  explicit RunningProgram(std::vector<std::string> args) {
    args.insert(args.begin(), program());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    output_ = ::fdopen(pipeFds[0], "r");
  }
  ~RunningProgram() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_) std::fclose(output_);
  }

  static std::string program() { return std::string(LK24_BINARY_DIR) + "/tools/lk24-devsim"; }

  std::string firstLine() {
    char line[512] = {};
    if (!output_ || !std::fgets(line, sizeof line, output_)) return {};
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  // Exit code after the signal, or -1 when it did not exit normally.
  int endWith(int signal) {
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  std::FILE* output_ = nullptr;
};

TEST(SimCommandLine, ServesUntilASignalThenTidiesUp) {
  ASSERT_TRUE(std::filesystem::exists(RunningProgram::program())) << "build lk24-devsim first";
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    ScratchDir dir;
    const std::string link = dir.file("COM1");
    const std::string saved = dir.file("after.lk2");
    RunningProgram program({"--type", "receiver", "--link", link, "--save", saved});
    const std::string path = program.firstLine();
    ASSERT_TRUE(path.starts_with("/dev/")) << path;
    {
      PtyClient tool(link);
      ASSERT_TRUE(tool.isOpen());
      EXPECT_EQ(tool.read(0xFD), 20);
      EXPECT_EQ(tool.read(0xFE), 1);
      EXPECT_EQ(tool.read(0xFF), 5);
      EXPECT_EQ(tool.write(0x14, 0x21), 0x21);
    }
    EXPECT_EQ(program.endWith(signal), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    LineList lines;
    ASSERT_EQ(lines.loadFromFile(saved), FileReadStatus::Ok);
    const auto image = parseDeviceImage(lines);
    ASSERT_TRUE(image);
    EXPECT_EQ((*image)[0x14], 0x21);
  }
}

}  // namespace
}  // namespace lk24::devsim
