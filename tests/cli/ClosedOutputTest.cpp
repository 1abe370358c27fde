// A reader that went away (`lk24ctl show x.lk2 | head -c1`, a closed SSH
// session) costs lk24ctl its output, never its life: no death by SIGPIPE.

#include "CtlProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

TEST(CtlClosedOutput, AStdoutWithoutReaderEndsWithAStatusNotASignal) {
  CtlFolder folder;
  auto device = startedDevice();
  ASSERT_EQ(runCtl(folder, {"read", "-p", slave(*device), "-o", "cfg.lk2"}).exitCode, 0);

  // The reading end is closed before lk24ctl starts, so its first line already hits a broken pipe.
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::close(pipeFds[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const std::string program = ctlPath().toStdString();
  const std::string file = folder.file("cfg.lk2");
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("show"), const_cast<char*>(file.c_str()),
                  nullptr};
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_TRUE(WIFEXITED(status));
}

}  // namespace
}  // namespace lk24::test
