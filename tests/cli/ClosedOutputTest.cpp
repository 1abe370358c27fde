// A reader that went away (`lk24ctl show x.lk2 | head -c1`, a closed SSH
// session) costs lk24ctl its output, never its life: no death by SIGPIPE.

#include "CtlProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

// Runs lk24ctl with ARGS, its stdout a pipe whose reading end is closed
// before it starts, so its first line already hits a broken pipe.
int statusIntoClosedPipe(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  ::close(pipeFds[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const std::string program = ctlPath().toStdString();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  int status = 0;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child) return -1;
  return status;
}

TEST(CtlClosedOutput, AStdoutWithoutReaderEndsWithAStatusNotASignal) {
  CtlFolder folder;
  auto device = startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "cfg.lk2"}).exitCode, 0);

  // A command's output, and the JSON of a usage error printed before any command runs.
  const std::vector<std::vector<std::string>> runs{{"show", folder.file("cfg.lk2")},
                                                   {"show", "--json", "--no-such-option"}};
  for (const auto& args : runs) {
    const int status = statusIntoClosedPipe(args);
    ASSERT_NE(status, -1) << args[1];
    EXPECT_FALSE(WIFSIGNALED(status)) << args[1] << ": ended by signal " << WTERMSIG(status);
    EXPECT_TRUE(WIFEXITED(status)) << args[1];
  }
}

}  // namespace
}  // namespace lk24::test
